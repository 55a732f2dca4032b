// Helpers shared by the native tests: a scratch directory, whole-file reads and
// writes, and a notifier that remembers what it was told.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/base/notifier.h"
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

}  // namespace hourlink::test
