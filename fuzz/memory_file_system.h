// A FileSystem in memory for the fuzz targets: files are byte vectors by path,
// handles keep to the share modes as Windows does (a writer that denies
// writing keeps out other writers; a file with an open handle is neither
// replaced nor removed), and any one call can be made to fail: the Nth
// fallible call fails, and with `sticky` every later one too (a full or dead
// disk). A failing write may still have written its first half (`torn`), as
// a power loss mid-write can leave it.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base/file_system.h"

namespace hourlink::fuzz {

class MemoryFileSystem final : public FileSystem {
  public:
    struct Faults {
        unsigned failAt = 0;  // the 1-based number of the call that fails; 0 for none
        bool sticky = false;
        bool torn = false;
    };
    using Bytes = std::vector<std::uint8_t>;

    explicit MemoryFileSystem(Faults faults) : faults_(faults) {}
    // New faults from now on, counting the calls afresh (a disk that fails, or
    // works again).
    void SetFaults(Faults faults) {
        faults_ = faults;
        calls = 0;
    }

    // The files' contents, for planting and for checking.
    std::map<std::wstring, Bytes> contents;
    // The fallible calls made so far.
    unsigned calls = 0;

    OpenResult Open(const std::wstring& path, OpenMode mode, ShareMode share) override {
        if (Fails()) return {nullptr, kFaultError};
        const bool exists = contents.count(path) != 0;
        if (!exists && mode != OpenMode::CreateReadWrite) return {nullptr, kNotFoundError};
        Handles& open = handles_[path];
        const bool writes = mode != OpenMode::ReadOnly;
        const bool deniesWrite = share == ShareMode::DenyWrite;
        if ((writes && open.denyWrite > 0) || (deniesWrite && open.writers > 0)) {
            return {nullptr, kSharingError};
        }
        contents[path];
        return {std::make_unique<File>(*this, path, writes, deniesWrite), 0};
    }

    bool FileExists(const std::wstring& path) override { return contents.count(path) != 0; }

    bool Replace(const std::wstring& source, const std::wstring& target) override {
        if (Fails() || contents.count(source) == 0 || InUse(source) || InUse(target)) return false;
        contents[target] = std::move(contents[source]);
        contents.erase(source);
        return true;
    }

    bool RemoveFile(const std::wstring& path) override {
        if (Fails() || InUse(path)) return false;
        return contents.erase(path) != 0;
    }

    static constexpr int kFaultError = 1117;  // the system's "I/O device error"
    static constexpr int kNotFoundError = 2;  // "file not found"
    static constexpr int kSharingError = 32;  // "sharing violation"

  private:
    struct Handles {
        int count = 0;
        int writers = 0;
        int denyWrite = 0;
    };

    class File final : public RandomAccessFile {
      public:
        File(MemoryFileSystem& files, std::wstring path, bool writes, bool deniesWrite)
            : files_(files), path_(std::move(path)), writes_(writes), deniesWrite_(deniesWrite) {
            Count(1);
        }
        ~File() override { Count(-1); }

        std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                          std::size_t size) override {
            if (files_.Fails()) return std::nullopt;
            const Bytes& bytes = files_.contents[path_];
            if (offset >= bytes.size()) return 0;
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(size, bytes.size() - offset));
            std::memcpy(buffer, bytes.data() + offset, n);
            return n;
        }
        bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
            if (!writes_) return false;
            const bool fails = files_.Fails();
            const std::size_t n = fails ? (files_.faults_.torn ? size / 2 : 0) : size;
            if (n > 0) {
                Bytes& bytes = files_.contents[path_];
                if (bytes.size() < offset + n) bytes.resize(static_cast<std::size_t>(offset + n));
                std::memcpy(bytes.data() + offset, data, n);
            }
            return !fails;
        }
        bool Flush() override { return !files_.Fails(); }
        std::optional<std::uint64_t> Size() override {
            if (files_.Fails()) return std::nullopt;
            return files_.contents[path_].size();
        }
        bool Truncate(std::uint64_t size) override {
            if (!writes_ || files_.Fails()) return false;
            files_.contents[path_].resize(static_cast<std::size_t>(size));
            return true;
        }

      private:
        void Count(int step) {
            Handles& open = files_.handles_[path_];
            open.count += step;
            if (writes_) open.writers += step;
            if (deniesWrite_) open.denyWrite += step;
        }

        MemoryFileSystem& files_;
        std::wstring path_;
        bool writes_;
        bool deniesWrite_;
    };

    bool Fails() {
        ++calls;
        return faults_.failAt != 0 &&
               (calls == faults_.failAt || (faults_.sticky && calls > faults_.failAt));
    }
    bool InUse(const std::wstring& path) const {
        const auto it = handles_.find(path);
        return it != handles_.end() && it->second.count > 0;
    }

    Faults faults_;
    std::map<std::wstring, Handles> handles_;
};

}  // namespace hourlink::fuzz
