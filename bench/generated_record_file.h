// A record file of generated sessions in a temporary directory, written once
// and removed with the object: the input of the benchmarks.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/base/session_record.h"

namespace hourlink::bench {

class GeneratedRecordFile {
  public:
    // `make(i)` gives record i of `count`.
    template <typename MakeRecord>
    GeneratedRecordFile(std::uint32_t count, MakeRecord make) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "hourlink-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        dir_ = pattern;
        RecordFileHeader header;
        header.purgeCountdown = 200;
        header.recordCount = count;
        const HeaderBytes h = EncodeHeader(header);
        std::ofstream out(dir_ / "adsl.bs", std::ios::binary);
        out.write(reinterpret_cast<const char*>(h.data()), h.size());
        for (std::uint32_t i = 0; i < count; ++i) {
            const RecordBytes b = EncodeRecord(make(i));
            out.write(reinterpret_cast<const char*>(b.data()), b.size());
        }
    }
    ~GeneratedRecordFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    GeneratedRecordFile(const GeneratedRecordFile&) = delete;
    GeneratedRecordFile& operator=(const GeneratedRecordFile&) = delete;

    std::wstring Path() const { return (dir_ / "adsl.bs").wstring(); }
    std::string NativePath() const { return (dir_ / "adsl.bs").string(); }

  private:
    std::filesystem::path dir_;
};

}  // namespace hourlink::bench
