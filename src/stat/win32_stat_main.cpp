// hourlink-stat on Windows: the file opened read-only with CreateFileW, sharing
// it with a running Hourlink (which holds it open for writing); GBK names
// decoded through code page 936; output as UTF-16 to a console window and as
// UTF-8 bytes to a file or pipe. The program's settings are read from the
// registry (reads only), and its folder is this executable's.
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "core/history/stat_report.h"
#include "shell/platform/program_file.h"
#include "shell/platform/registry_settings_store.h"
#include "shell/win/text.h"

namespace {

std::wstring Wide(std::string_view text, UINT codePage) {
    return hourlink::win::ToWide(text, codePage);
}

std::string Utf8(std::wstring_view text) {
    return hourlink::win::WideToUtf8(text);
}

std::string SystemMessage(DWORD error) {
    return Utf8(hourlink::win::SystemErrorText(error));
}

// False when the text was not written whole (no such stream, a full disk, a
// closed pipe).
bool Write(DWORD which, std::string_view text) {
    const HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = Wide(text, CP_UTF8);
        DWORD written = 0;
        return WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written,
                             nullptr) &&
               written == wide.size();
    }
    while (!text.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1 << 20));
        if (!WriteFile(out, text.data(), chunk, &written, nullptr) || written == 0) return false;
        text.remove_prefix(written);
    }
    return true;
}

class Win32Platform final : public hourlink::stat::Platform {
  public:
    FileRead ReadFile(const std::string& path) override {
        FileRead read;
        const HANDLE file = CreateFileW(Wide(path, CP_UTF8).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            read.found = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
            read.error = SystemMessage(error);
            return read;
        }
        read.found = true;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file, &size) || size.QuadPart > 0x7FFFFFFF) {
            read.error = SystemMessage(GetLastError());
            CloseHandle(file);
            return read;
        }
        read.bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (!read.bytes.empty() &&
            !::ReadFile(file, read.bytes.data(), static_cast<DWORD>(read.bytes.size()), &got,
                        nullptr)) {
            read.error = SystemMessage(GetLastError());
        }
        read.bytes.resize(got);
        CloseHandle(file);
        return read;
    }

    std::string GbkToUtf8(std::string_view gbk) override { return Utf8(Wide(gbk, 936)); }
    std::int64_t Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }
    bool Out(std::string_view text) override { return Write(STD_OUTPUT_HANDLE, text); }
    void Err(std::string_view text) override { Write(STD_ERROR_HANDLE, text); }

    std::wstring OwnDirectory() override {
        return hourlink::ProgramDirectory().value_or(std::wstring());
    }
    hourlink::SettingsStore* ProgramSettings() override { return &settings_; }
    bool CanWriteIn(const std::wstring& directory) override {
        return hourlink::CanWriteIn(directory);
    }
    std::wstring LocalAppDataDirectory() override { return hourlink::LocalAppDataDirectory(); }

  private:
    // Only read: hourlink-stat never writes a setting.
    hourlink::RegistrySettingsStore settings_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
    Win32Platform platform;
    return hourlink::stat::Run(args, platform);
}
