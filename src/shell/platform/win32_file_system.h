// The file seam on Windows: CreateFileW with the share mode asked for, reads and
// writes at explicit offsets, and errors as GetLastError() gives them.
#pragma once

#include <string>

#include "core/base/file_system.h"

namespace hourlink {

class Win32FileSystem final : public FileSystem {
  public:
    OpenResult Open(const std::wstring& path, OpenMode mode, ShareMode share) override;
    bool FileExists(const std::wstring& path) override;
    // MoveFileExW replacing the target and writing through, so the new file is
    // on disk before the call returns.
    bool Replace(const std::wstring& source, const std::wstring& target) override;
    bool RemoveFile(const std::wstring& path) override;
};

}  // namespace hourlink
