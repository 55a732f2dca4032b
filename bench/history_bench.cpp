// Listing a month of a long history: the record file of 100,000 sessions loaded
// into the table, the month window found and the rows' texts made, next to a
// plain read of the same bytes for scale; and the usage chart of that month,
// which an open chart window makes again at every tick, in hours and in bytes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/base/posix_file_system.h"
#include "core/base/session_record.h"
#include "core/history/history_list.h"
#include "core/history/usage_chart.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "generated_record_file.h"

namespace hourlink {
namespace {

constexpr std::uint32_t kRecords = 100'000;
constexpr std::uint32_t kSpacing = 3 * 3600;  // a session every three hours: about 34 years

std::uint32_t FirstStart() {
    std::tm tm{};
    tm.tm_year = 1995 - 1900;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    return static_cast<std::uint32_t>(std::mktime(&tm));
}

SessionRecord MakeRecord(std::uint32_t i) {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = FirstStart() + i * kSpacing;
    r.type = static_cast<std::uint8_t>(1 + i % 3);
    r.SetName("ADSL");
    r.SetClientIp("10.0.0.2");
    r.Complete(static_cast<std::int32_t>(60 + (i * 37) % 7200));
    r.bytesSent = i;
    return r;
}

struct HistoryFile : bench::GeneratedRecordFile {
    HistoryFile() : GeneratedRecordFile(kRecords, MakeRecord) {}
};

HistoryFile& File() {
    static HistoryFile file;
    return file;
}

// The month of the last sessions, so the window scan runs to the table's end.
YearMonth LastMonth() {
    const std::time_t last = FirstStart() + (kRecords - 1) * kSpacing;
    std::tm tm{};
    localtime_r(&last, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1};
}

void PlainRead(benchmark::State& state) {
    std::vector<char> buffer(kHeaderSize + static_cast<std::size_t>(kRecords) * kRecordSize);
    for (auto _ : state) {
        std::ifstream in(File().NativePath(), std::ios::binary);
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond);

// What a listing costs on WM_RECORDS_UPDATED 1: load, window, fill.
void LoadAndListMonth(benchmark::State& state) {
    PosixFileSystem files;
    SilentNotifier notifier;
    ManualClock clock(FirstStart() + (kRecords - 1) * kSpacing);
    std::size_t rows = 0;
    for (auto _ : state) {
        RecordTable table;
        CFixLenRecDoc doc(files, clock, notifier);
        if (!doc.OpenForUpdate(File().Path())) state.SkipWithError("open failed");
        doc.LoadTable(table);
        HistoryList list(table, clock);
        list.SetStartDay(21);
        list.SetMonth(LastMonth());
        list.ComputeWindow();
        rows = list.Fill({}).rows.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(LoadAndListMonth)->Unit(benchmark::kMillisecond);

// The file loaded into a table once, and a history list of its last month.
struct LoadedHistory {
    PosixFileSystem files;
    SilentNotifier notifier;
    ManualClock clock{FirstStart() + (kRecords - 1) * kSpacing};
    RecordTable table;
    HistoryList list{table, clock};

    explicit LoadedHistory(benchmark::State& state) {
        CFixLenRecDoc doc(files, clock, notifier);
        if (!doc.OpenForUpdate(File().Path())) state.SkipWithError("open failed");
        doc.LoadTable(table);
        list.SetStartDay(21);
        list.SetMonth(LastMonth());
    }
};

// A month picked in the month bar: window and fill over a loaded table.
void ListMonth(benchmark::State& state) {
    LoadedHistory loaded(state);
    HistoryList& list = loaded.list;
    const RecordTable& table = loaded.table;
    std::size_t rows = 0;
    for (auto _ : state) {
        list.ComputeWindow();
        rows = list.Fill({}).rows.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["table_bytes"] = static_cast<double>(table.HeldBytes());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
}
BENCHMARK(ListMonth)->Unit(benchmark::kMillisecond);

// A history of busy sessions, as a table holds it: every session with its
// own address and traffic figures of up to 2 GB received and 128 MB sent,
// which pack least well. The loop reads every record once, in order, as the
// purge and a copy of the table do.
void BusyHistoryTable(benchmark::State& state) {
    std::mt19937 random(7);
    std::vector<SessionRecord> records;
    records.reserve(kRecords);
    for (std::uint32_t i = 0; i < kRecords; ++i) {
        SessionRecord r = MakeRecord(i);
        const std::uint32_t address = random();
        r.SetClientIp("10." + std::to_string(address >> 16 & 0xFF) + "." +
                      std::to_string(address >> 8 & 0xFF) + "." + std::to_string(address & 0xFF));
        r.Complete(static_cast<std::int32_t>(60 + random() % 36000));
        r.bytesReceived = random() >> 1;
        r.bytesSent = random() >> 5;
        records.push_back(r);
    }
    RecordTable table;
    table.Replace(records);
    for (auto _ : state) {
        const std::int64_t sum = table.Read([](const CompactRecords& all) {
            std::int64_t total = 0;
            all.ForEach(0, all.size(),
                        [&](std::size_t, const SessionRecord& r) { total += r.duration; });
            return total;
        });
        benchmark::DoNotOptimize(sum);
    }
    state.counters["bytes_per_record"] =
        static_cast<double>(table.HeldBytes()) / static_cast<double>(kRecords);
}
BENCHMARK(BusyHistoryTable)->Unit(benchmark::kMillisecond);

// The chart of the month shown, as the open chart window makes it each second
// of a session: argument 0 in hours, 1 in bytes against an allowance.
void UsageChartOfTheMonth(benchmark::State& state) {
    LoadedHistory loaded(state);
    HistoryList& list = loaded.list;
    list.ComputeWindow();
    list.Fill({});
    MemorySettingsStore settings;
    WriteSetting(settings, settings::kDataLimit, 2000);
    const auto measure = state.range(0) == 0 ? UsageMeasure::kTime : UsageMeasure::kData;
    for (auto _ : state) {
        const UsageChart chart =
            MakeUsageChart(list, settings, loaded.clock.Now(), 600, 5'000'000, measure);
        benchmark::DoNotOptimize(MakeUsageChartTexts(chart));
    }
}
BENCHMARK(UsageChartOfTheMonth)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hourlink

BENCHMARK_MAIN();
