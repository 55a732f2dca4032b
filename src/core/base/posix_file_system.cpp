#include "core/base/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <map>
#include <mutex>
#include <utility>

#include "core/base/utf8.h"

namespace hourlink {

namespace {

// What one open handle does and lets others do.
struct HandleRights {
    bool writes = false;
    bool sharesWrite = false;
};

// The open handles of this process per file, for the share-mode rules. Every
// handle reads and shares reading, so only writing needs checking.
class ShareTable {
  public:
    using Key = std::pair<dev_t, ino_t>;
    using Entry = std::list<HandleRights>::iterator;

    static ShareTable& Instance() {
        static ShareTable table;
        return table;
    }

    // Registers a new handle, or nothing when an open handle's share mode refuses it.
    std::optional<Entry> Add(Key key, HandleRights rights) {
        std::lock_guard lock(mutex_);
        std::list<HandleRights>& open = files_[key];
        for (const HandleRights& other : open) {
            if ((rights.writes && !other.sharesWrite) || (other.writes && !rights.sharesWrite)) {
                if (open.empty()) files_.erase(key);
                return std::nullopt;
            }
        }
        open.push_front(rights);
        return open.begin();
    }

    void Remove(Key key, Entry entry) {
        std::lock_guard lock(mutex_);
        auto it = files_.find(key);
        if (it == files_.end()) return;
        it->second.erase(entry);
        if (it->second.empty()) files_.erase(it);
    }

  private:
    std::mutex mutex_;
    std::map<Key, std::list<HandleRights>> files_;
};

class PosixFile final : public RandomAccessFile {
  public:
    PosixFile(int fd, ShareTable::Key key, ShareTable::Entry entry)
        : fd_(fd), key_(key), entry_(entry) {}
    ~PosixFile() override {
        ShareTable::Instance().Remove(key_, entry_);
        ::close(fd_);
    }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                      std::size_t size) override {
        auto* out = static_cast<char*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n =
                ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return std::nullopt;
            }
            if (n == 0) break;  // end of file
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* in = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n =
                ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (n == 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Flush() override { return ::fsync(fd_) == 0; }

    std::optional<std::uint64_t> Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }

    bool Truncate(std::uint64_t size) override {
        return ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
    }

  private:
    int fd_;
    ShareTable::Key key_;
    ShareTable::Entry entry_;
};

}  // namespace

std::string PosixFileSystem::NativePath(const std::wstring& path) {
    // A backslash is one byte in UTF-8, never part of another character.
    std::string out = WideToUtf8(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

OpenResult PosixFileSystem::Open(const std::wstring& path, OpenMode mode, ShareMode share) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::ReadWrite:
            flags |= O_RDWR;
            break;
        case OpenMode::CreateReadWrite:
            flags |= O_RDWR | O_CREAT;
            break;
        case OpenMode::ReadOnly:
            flags |= O_RDONLY;
            break;
    }
    const std::string native = NativePath(path);
    const int fd = ::open(native.c_str(), flags, 0644);
    if (fd < 0) return {nullptr, errno};

    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return {nullptr, error != 0 ? error : EINVAL};
    }
    const HandleRights rights{mode != OpenMode::ReadOnly, share == ShareMode::DenyNone};
    const ShareTable::Key key{st.st_dev, st.st_ino};
    const std::optional<ShareTable::Entry> entry = ShareTable::Instance().Add(key, rights);
    if (!entry) {
        ::close(fd);
        return {nullptr, kSharingViolation};
    }
    return {std::make_unique<PosixFile>(fd, key, *entry), 0};
}

bool PosixFileSystem::FileExists(const std::wstring& path) {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::Replace(const std::wstring& source, const std::wstring& target) {
    return std::rename(NativePath(source).c_str(), NativePath(target).c_str()) == 0;
}

bool PosixFileSystem::RemoveFile(const std::wstring& path) {
    return ::unlink(NativePath(path).c_str()) == 0;
}

}  // namespace hourlink
