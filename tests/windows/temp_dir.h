// A fresh directory under %TEMP% for one test, emptied and removed afterwards.
#pragma once

#include <windows.h>

#include <string>

#include "core/base/file_system.h"

namespace hourlink::test {

class TempDir {
  public:
    explicit TempDir(const wchar_t* stem = L"hourlink-") {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        for (unsigned n = GetTickCount(); path_.empty(); ++n) {
            std::wstring candidate = std::wstring(base) + stem + std::to_wstring(n);
            if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~TempDir() {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    std::wstring File(const wchar_t* name) const { return JoinPath(path_, name); }
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

}  // namespace hourlink::test
