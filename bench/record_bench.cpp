// How fast a long history comes into memory and how fast a month of it is
// summed, next to a plain read of the same bytes for scale.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/base/posix_file_system.h"
#include "core/base/session_record.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "generated_record_file.h"

namespace hourlink {
namespace {

constexpr std::uint32_t kRecords = 100'000;
constexpr std::uint32_t kFirstStart = 1'300'000'000;
constexpr std::uint32_t kSpacing = 3 * 3600;  // a session every three hours: about 34 years
constexpr std::uint32_t kMonth = 30 * 86400;

// kRecords finished sessions, one every three hours.
SessionRecord MakeRecord(std::uint32_t i) {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = kFirstStart + i * kSpacing;
    r.type = 2;
    r.SetName("ADSL");
    r.SetClientIp("10.0.0.2");
    r.Complete(static_cast<std::int32_t>(60 + (i * 37) % 7200));
    return r;
}

struct HistoryFile : bench::GeneratedRecordFile {
    HistoryFile() : GeneratedRecordFile(kRecords, MakeRecord) {}
    static std::int64_t DataBytes() { return std::int64_t{kRecords} * kRecordSize; }
};

HistoryFile& History() {
    static HistoryFile file;
    return file;
}

// The floor: the record bytes read into one buffer, nothing decoded.
void BM_ReadBytesIntoBuffer(benchmark::State& state) {
    PosixFileSystem files;
    OpenResult opened = files.Open(History().Path(), OpenMode::ReadOnly, ShareMode::DenyNone);
    if (!opened.file) {
        state.SkipWithError("cannot open the history file");
        return;
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(HistoryFile::DataBytes()));
    for (auto _ : state) {
        const auto got = opened.file->ReadAt(kHeaderSize, buffer.data(), buffer.size());
        benchmark::DoNotOptimize(got);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * HistoryFile::DataBytes());
}
BENCHMARK(BM_ReadBytesIntoBuffer)->Unit(benchmark::kMillisecond);

// Reading and decoding the whole file into the record table, as at start-up.
void BM_LoadTable(benchmark::State& state) {
    PosixFileSystem files;
    SilentNotifier notifier;
    CFixLenRecDoc doc(files, SystemClock::Instance(), notifier);
    if (!doc.OpenForUpdate(History().Path())) {
        state.SkipWithError("cannot open the history file");
        return;
    }
    RecordTable table;
    for (auto _ : state) {
        if (doc.LoadTable(table) != CFixLenRecDoc::LoadResult::Loaded) {
            state.SkipWithError("load failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * HistoryFile::DataBytes());
    state.counters["records"] = static_cast<double>(table.Size());
}
BENCHMARK(BM_LoadTable)->Unit(benchmark::kMillisecond);

// One pass over the whole table under its lock, summing the durations of the
// sessions that started in a 30-day window, as the month's history does.
void BM_ScanMonthWindow(benchmark::State& state) {
    PosixFileSystem files;
    SilentNotifier notifier;
    CFixLenRecDoc doc(files, SystemClock::Instance(), notifier);
    RecordTable table;
    if (!doc.OpenForUpdate(History().Path()) ||
        doc.LoadTable(table) != CFixLenRecDoc::LoadResult::Loaded) {
        state.SkipWithError("cannot load the history file");
        return;
    }
    const std::uint32_t from = kFirstStart + (kRecords / 2) * kSpacing;
    const std::uint32_t to = from + kMonth;
    std::int64_t sessions = 0;
    for (auto _ : state) {
        const std::int64_t total = table.Read([&](const CompactRecords& rows) {
            std::int64_t sum = 0;
            sessions = 0;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const std::uint32_t start = rows.StartAt(i);
                if (start >= from && start < to) {
                    sum += rows[i].duration;
                    ++sessions;
                }
            }
            return sum;
        });
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kRecords} *
                            static_cast<std::int64_t>(sizeof(SessionRecord)));
    state.counters["sessions"] = static_cast<double>(sessions);
}
BENCHMARK(BM_ScanMonthWindow)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hourlink

BENCHMARK_MAIN();
