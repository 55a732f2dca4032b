// Helpers shared by the native tests: a scratch directory, whole-file reads and
// writes, a notifier that remembers what it was told, and a file system whose
// files fail when a test says so.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/base/file_system.h"
#include "core/base/notifier.h"
#include "core/base/posix_file_system.h"
#include "core/base/session_record.h"

namespace hourlink::test {

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "hourlink-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path File(const std::string& name) const { return path_ / name; }
    // The path of `name` as the program builds it: directory, backslash, name.
    std::wstring WinPath(const std::string& name) const {
        return path_.wstring() + L'\\' + std::filesystem::path(name).wstring();
    }

  private:
    std::filesystem::path path_;
};

using Bytes = std::vector<std::uint8_t>;

// The bytes of a record file with this header and these records.
inline Bytes FileBytes(const RecordFileHeader& header, const std::vector<SessionRecord>& records) {
    const HeaderBytes h = EncodeHeader(header);
    Bytes bytes(h.begin(), h.end());
    for (const SessionRecord& r : records) {
        const RecordBytes b = EncodeRecord(r);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    return bytes;
}

inline std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class RecordingNotifier final : public Notifier {
  public:
    void ShowMessage(std::wstring_view text) override { messages.emplace_back(text); }
    void ReportError(std::wstring_view what, int code) override {
        errors.emplace_back(std::wstring(what), code);
    }

    std::vector<std::wstring> messages;
    std::vector<std::pair<std::wstring, int>> errors;
};

// The real file system, with faults: `fails` is asked before every read, write
// and flush of a file opened through it; true makes that call fail, undone.
class FaultyFileSystem final : public FileSystem {
  public:
    enum class Op { Read, Write, Flush };
    std::function<bool(Op)> fails;

    OpenResult Open(const std::wstring& path, OpenMode mode, ShareMode share) override {
        OpenResult opened = real_.Open(path, mode, share);
        if (opened.file) opened.file = std::make_unique<File>(*this, std::move(opened.file));
        return opened;
    }
    bool FileExists(const std::wstring& p) override { return real_.FileExists(p); }
    bool Replace(const std::wstring& s, const std::wstring& t) override {
        return real_.Replace(s, t);
    }
    bool RemoveFile(const std::wstring& p) override { return real_.RemoveFile(p); }

  private:
    struct File final : RandomAccessFile {
        File(FaultyFileSystem& o, std::unique_ptr<RandomAccessFile> f)
            : owner(o), real(std::move(f)) {}
        std::optional<std::size_t> ReadAt(std::uint64_t at, void* buffer, std::size_t n) override {
            return owner.Fails(Op::Read) ? std::nullopt : real->ReadAt(at, buffer, n);
        }
        bool WriteAt(std::uint64_t at, const void* data, std::size_t n) override {
            return !owner.Fails(Op::Write) && real->WriteAt(at, data, n);
        }
        bool Flush() override { return !owner.Fails(Op::Flush) && real->Flush(); }
        std::optional<std::uint64_t> Size() override { return real->Size(); }
        bool Truncate(std::uint64_t size) override { return real->Truncate(size); }

        FaultyFileSystem& owner;
        std::unique_ptr<RandomAccessFile> real;
    };
    bool Fails(Op op) const { return fails && fails(op); }

    PosixFileSystem real_;
};

}  // namespace hourlink::test
