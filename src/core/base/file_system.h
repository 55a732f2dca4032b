// The random-access file seam. The record file and its backup are read and
// written through it: by the Win32 implementation in the program, by the POSIX
// one in native tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace hourlink {

enum class OpenMode {
    ReadWrite,        // an existing file, for reading and writing
    CreateReadWrite,  // created (or opened when it exists), for reading and writing
    ReadOnly,         // an existing file, read only
};

// What other openers of the same file may do while this handle is open.
enum class ShareMode {
    DenyWrite,  // others may read, nobody else may write
    DenyNone,   // others may read and write
};

class RandomAccessFile {
  public:
    virtual ~RandomAccessFile() = default;
    // Reads up to `size` bytes at `offset`; returns the count read (short at the
    // end of the file), or nothing when the read failed.
    virtual std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                              std::size_t size) = 0;
    // Writes all `size` bytes at `offset`; false when fewer were written.
    virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
    virtual bool Flush() = 0;
    virtual std::optional<std::uint64_t> Size() = 0;
    virtual bool Truncate(std::uint64_t size) = 0;
};

struct OpenResult {
    std::unique_ptr<RandomAccessFile> file;  // null on failure
    int error = 0;                           // the system's error code on failure
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual OpenResult Open(const std::wstring& path, OpenMode mode, ShareMode share) = 0;
    // True when a file of that name exists in that directory (not a directory).
    virtual bool FileExists(const std::wstring& path) = 0;
    // (Not named ReplaceFile: <windows.h> turns that name into ReplaceFileW.)
    // Replaces `target` by `source` in one step, so that a reader sees one or the
    // other whole, never a mix.
    virtual bool Replace(const std::wstring& source, const std::wstring& target) = 0;
    virtual bool RemoveFile(const std::wstring& path) = 0;
};

// Joins a directory and a file name with one backslash; a directory that already
// ends in a separator gets no second one.
inline std::wstring JoinPath(const std::wstring& directory, const std::wstring& name) {
    if (directory.empty()) return name;
    const wchar_t last = directory.back();
    if (last == L'\\' || last == L'/') return directory + name;
    return directory + L'\\' + name;
}

}  // namespace hourlink
