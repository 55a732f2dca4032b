#include "shell/platform/win32_file_system.h"

#include <windows.h>

#include <algorithm>

namespace hourlink {

namespace {

// The most one ReadFile or WriteFile call is asked to move.
constexpr std::size_t kMaxTransfer = 1u << 30;

OVERLAPPED AtOffset(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

class Win32File final : public RandomAccessFile {
  public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    ~Win32File() override { CloseHandle(handle_); }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;

    // A synchronous handle with an OVERLAPPED offset reads and writes at that
    // offset, so no shared file position is involved.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                      std::size_t size) override {
        auto* out = static_cast<char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const auto want = static_cast<DWORD>(std::min(size - done, kMaxTransfer));
            OVERLAPPED at = AtOffset(offset + done);
            DWORD got = 0;
            if (!ReadFile(handle_, out + done, want, &got, &at)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                return std::nullopt;
            }
            if (got == 0) break;  // end of file
            done += got;
        }
        return done;
    }

    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* in = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            const auto want = static_cast<DWORD>(std::min(size - done, kMaxTransfer));
            OVERLAPPED at = AtOffset(offset + done);
            DWORD wrote = 0;
            if (!WriteFile(handle_, in + done, want, &wrote, &at) || wrote == 0) return false;
            done += wrote;
        }
        return true;
    }

    bool Flush() override { return FlushFileBuffers(handle_) != FALSE; }

    std::optional<std::uint64_t> Size() override {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) return std::nullopt;
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    bool Truncate(std::uint64_t size) override {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(size);
        return SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle_);
    }

  private:
    HANDLE handle_;
};

}  // namespace

OpenResult Win32FileSystem::Open(const std::wstring& path, OpenMode mode, ShareMode share) {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
        case OpenMode::ReadWrite:
            access |= GENERIC_WRITE;
            break;
        case OpenMode::CreateReadWrite:
            access |= GENERIC_WRITE;
            disposition = OPEN_ALWAYS;
            break;
        case OpenMode::ReadOnly:
            break;
    }
    const DWORD shareFlags =
        share == ShareMode::DenyWrite ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    const HANDLE handle = CreateFileW(path.c_str(), access, shareFlags, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {nullptr, static_cast<int>(GetLastError())};
    return {std::make_unique<Win32File>(handle), 0};
}

bool Win32FileSystem::FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::Replace(const std::wstring& source, const std::wstring& target) {
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32FileSystem::RemoveFile(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace hourlink
