// The backup file "adsl.bak" beside the record file: one little-endian signed
// 32-bit number at offset 0, the seconds the running session had lasted at its
// last full minute. A crash, a kill or a power loss thus loses at most the last
// minute of a session: the start-up recovery completes the unfinished record
// with this value. The file is never shortened or deleted, so after a normal
// session end it still holds the last value written.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/base/file_system.h"

namespace hourlink {

class BackupFile {
  public:
    static constexpr const wchar_t* kFileName = L"adsl.bak";
    static constexpr std::size_t kValueSize = 4;

    explicit BackupFile(FileSystem& files) : files_(files) {}
    BackupFile(const BackupFile&) = delete;
    BackupFile& operator=(const BackupFile&) = delete;

    // The backup's path: "adsl.bak" in the directory of the record file at
    // `recordPath` (the part up to its last separator; no directory gives the
    // bare name).
    static std::wstring PathBeside(const std::wstring& recordPath);

    // Opens the backup at `path` for writing for the rest of the run: an existing
    // file read-write, a missing one created, in both cases denying writes to
    // others. The handle stays open, so each minute costs one 4-byte write and a
    // flush, and no second writer can interleave. The start-up recovery reads
    // the file through a share-all read-only handle, which this one admits.
    // False when the open failed (LastError() says why); Write() tries again.
    bool Open(const std::wstring& path);
    void Close() {
        std::lock_guard lock(mutex_);
        file_.reset();
    }
    bool IsOpen() const {
        std::lock_guard lock(mutex_);
        return file_ != nullptr;
    }
    int LastError() const { return lastError_; }

    // True for the session lengths at which the backup is written: every whole
    // multiple of 60 seconds, 0 included (so a new session's first tick
    // overwrites the value of the previous one).
    static bool IsFullMinute(std::int64_t seconds) { return seconds >= 0 && seconds % 60 == 0; }

    // Writes `seconds` (clamped to the 32-bit range) at offset 0 and flushes.
    // Safe from any thread: the watcher resets the value when a new session's
    // record is added, the session tick writes each minute.
    // When the file is not open (the open at start failed), opens it again at
    // the path last given to Open first. False when nothing could be written.
    bool Write(std::int64_t seconds);

    // Writes `seconds` when it is a full minute (IsFullMinute); the call for the
    // session tick. True when nothing was due or the write succeeded.
    bool WriteAtFullMinute(std::int64_t seconds) {
        return !IsFullMinute(seconds) || Write(seconds);
    }

    // Reads the value of the backup at `path` through a read-only handle that
    // lets others read and write. Nothing when the file cannot be opened or
    // holds fewer than 4 bytes.
    static std::optional<std::int32_t> Read(FileSystem& files, const std::wstring& path);

  private:
    bool OpenLocked(const std::wstring& path);

    FileSystem& files_;
    mutable std::mutex mutex_;
    std::wstring path_;
    std::unique_ptr<RandomAccessFile> file_;
    int lastError_ = 0;
};

}  // namespace hourlink
