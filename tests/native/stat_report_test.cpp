// hourlink-stat's decisions on a scripted platform: which file and start day it
// uses, month figures that agree between --summary and --month, JSON that stays
// valid UTF-8 and a failed write to the output.
#include "core/history/stat_report.h"

#include <gtest/gtest.h>

#include "test_records.h"
#include "test_support.h"

#include <map>

#include "core/base/utf8.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "time_zone.h"

namespace hourlink::stat {
namespace {

using test::At;
using test::Finished;

class FakePlatform final : public Platform {
  public:
    FileRead ReadFile(const std::string& path) override {
        FileRead read;
        read.found = files.contains(path);
        if (read.found) read.bytes = files[path];
        return read;
    }
    std::string GbkToUtf8(std::string_view gbk) override { return std::string(gbk); }
    std::int64_t Now() override { return At(2026, 12, 1); }
    bool Out(std::string_view text) override {
        out += text;
        return outWorks;
    }
    bool FlushOut() override { return flushWorks; }
    void Err(std::string_view text) override { err += text; }
    std::wstring OwnDirectory() override { return own; }
    SettingsStore* ProgramSettings() override { return withSettings ? &settings : nullptr; }
    bool CanWriteIn(const std::wstring&) override { return canWrite; }
    std::wstring LocalAppDataDirectory() override { return L"C:\\Local"; }

    std::map<std::string, std::vector<std::uint8_t>> files;
    std::wstring own = L"C:\\Hourlink\\";
    bool withSettings = true;
    bool canWrite = true;
    bool outWorks = true;
    bool flushWorks = true;
    MemorySettingsStore settings;
    std::string out, err;
};

std::vector<std::uint8_t> FileOf(const std::vector<SessionRecord>& records) {
    RecordFileHeader header;
    header.recordCount = static_cast<std::uint32_t>(records.size());
    return test::FileBytes(header, records);
}

TEST(StatReport, RecordFileAndStartDayFollowTheProgramsSettings) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        bool withSettings;
        const wchar_t* directory;  // the Directory setting
        int storedDay;             // Property/StartDate, 0 for none
        bool canWrite;
        std::vector<std::string> files;
        int code;
        std::string path;
        const char* source;
        int day;
        DaySource daySource;
    };
    const Case cases[] = {
        {"own folder", {}, true, L"", 5, true, {"C:\\Hourlink\\adsl.bs", "adsl.bs"}, 0,
         "C:\\Hourlink\\adsl.bs", "program_folder", 5, DaySource::kSetting},
        {"directory setting", {}, true, L"D:\\Data", 0, true, {"D:\\Data\\adsl.bs"}, 0,
         "D:\\Data\\adsl.bs", "directory_setting", 21, DaySource::kDefault},
        {"directory setting only", {}, true, L"D:\\Data", 0, true, {"adsl.bs"}, 2, "", "", 0, {}},
        {"moved to the local folder", {}, true, L"", 7, false, {"C:\\Local\\Hourlink\\adsl.bs",
         "C:\\Hourlink\\adsl.bs"}, 0, "C:\\Local\\Hourlink\\adsl.bs", "local_folder",
         7, DaySource::kSetting},
        {"current folder", {"--start-day", "3"}, true, L"", 5, true, {"adsl.bs"}, 0, "adsl.bs",
         "current_folder", 3, DaySource::kArgument},
        {"no settings", {}, false, L"D:\\Data", 5, true, {"C:\\Hourlink\\adsl.bs"}, 0,
         "C:\\Hourlink\\adsl.bs", "program_folder", 21, DaySource::kNoSettings},
        {"argument", {"x.bs"}, true, L"D:\\Data", 5, true, {"x.bs", "D:\\Data\\adsl.bs"}, 0,
         "x.bs", "argument", 5, DaySource::kSetting},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        p.withSettings = c.withSettings;
        p.canWrite = c.canWrite;
        WriteSetting(p.settings, settings::kDirectory, c.directory);
        if (c.storedDay) WriteSetting(p.settings, settings::kStartDate, c.storedDay);
        for (const std::string& f : c.files) p.files[f] = FileOf({});
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        ASSERT_EQ(stat::Run(args, p), c.code) << p.err;
        if (c.code != 0) continue;
        const std::string file =
            "\"file\": " + JsonString(c.path) + ",\n  \"file_source\": \"" + c.source + "\"";
        EXPECT_NE(p.out.find(file), std::string::npos) << p.out;
        EXPECT_NE(p.out.find("\"start_day\": " + std::to_string(c.day) + ","), std::string::npos);
        const Origin origin = StartDayOrigin(ParseArguments(c.args).options, p);
        EXPECT_EQ(std::pair(origin.startDay, origin.day), std::pair(c.day, c.daySource));
    }
}

TEST(StatReport, SummaryGivesEachMonthTheFiguresOfItsMonthSelection) {
    test::ScopedTimeZone zone{"CST-8"};
    // Files in the order a clock set back leaves, a record exactly at a
    // month's start, and February's short month with start day 30.
    const std::vector<SessionRecord> setBack{
        Finished(At(2026, 11, 25, 10), 1800), Finished(At(2026, 12, 22, 10), 1800),
        Finished(At(2026, 12, 1, 10), 900), Finished(At(2026, 12, 10, 10), 900)};
    const std::vector<std::pair<std::vector<SessionRecord>, int>> files{
        {setBack, 21},
        {{Finished(At(2026, 11, 21), 60), Finished(At(2026, 12, 21), 60)}, 21},
        {{Finished(At(2027, 2, 27), 60), Finished(At(2027, 3, 1, 12), 60),
          Finished(At(2027, 1, 31), 60)},
         30},
    };
    for (const auto& [records, startDay] : files) {
        const auto months = SummarizeByMonth(records, startDay);
        FileContents contents;
        contents.records = records;
        Options o;
        o.selection = Selection::kMonth;
        o.startDay = startDay;
        std::size_t listed = 0;
        for (int m = 0; m < 8; ++m) {
            o.month = {2026 + (9 + m) / 12, (9 + m) % 12 + 1};
            const Summary want = Summarize(Select(contents, o, 0).records);
            Summary got;
            for (const MonthSummary& s : months) {
                if (s.month == o.month) got = s.summary, ++listed;
            }
            EXPECT_EQ(std::pair(got.sessions, got.online), std::pair(want.sessions, want.online))
                << o.month.year << "-" << o.month.month;
        }
        EXPECT_EQ(listed, months.size());
    }
    const auto december = SummarizeByMonth(setBack, 21)[0];
    EXPECT_EQ(std::pair(december.summary.sessions, december.summary.online), std::pair(4, std::int64_t{5400}));
}

TEST(StatReport, MonthsCarryTheirBytesAgainstAKnownAllowance) {
    test::ScopedTimeZone zone{"CST-8"};
    const auto session = [](std::uint32_t start, std::uint32_t received, std::uint32_t sent) {
        SessionRecord r = Finished(start, 600);
        r.bytesReceived = received;
        r.bytesSent = sent;
        return r;
    };
    // Of 2 GB: November a byte short, shown rounded down as not reached;
    // December exactly the allowance, received and sent together.
    const std::vector<SessionRecord> records{session(At(2026, 10, 25), 1'999'999'999, 0),
                                             session(At(2026, 11, 25), 1'500'000'000, 0),
                                             session(At(2026, 12, 1), 0, 500'000'000)};
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int dataLimit;                  // Property/DataLimit, megabytes
        std::vector<std::string> json;  // in the JSON; none: no allowance key at all
        std::vector<std::string> text;  // in the text of the same selection
    };
    const std::string source = "\"allowance_bytes\": 2000000000, \"allowance_source\": ";
    const std::string nov = "\"allowance_used_percent\": 99.9, \"allowance_exceeded\": false}";
    const std::string dec = "\"allowance_used_percent\": 100.0, \"allowance_exceeded\": true}";
    const Case cases[] = {
        {"none known", {"--summary"}, 0, {}, {}},
        {"argument",
         {"--summary", "--allowance", "2"},
         0,
         {source + "\"argument\"", nov, dec},
         {"流量限额 2 GB (命令行给出)", "2.00 GB/2 GB   100.0%  超出限额\n", "99.9%\n"}},
        {"setting",
         {"--summary"},
         2000,
         {source + "\"setting\"", nov, dec},
         {"流量限额 2 GB (选项中的设置)"}},
        {"0 overrides the setting", {"--summary", "--allowance", "0"}, 2000, {}, {}},
        {"an accounting month", {"--month", "2026-12", "--allowance", "2"}, 0, {source, dec}, {}},
        {"every record", {"--all", "--allowance", "2"}, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform p;
        p.files["C:\\Hourlink\\adsl.bs"] = FileOf(records);
        if (c.dataLimit) WriteSetting(p.settings, settings::kDataLimit, c.dataLimit);
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        ASSERT_EQ(stat::Run(args, p), kExitOk) << p.err;
        for (const std::string& key : c.json) EXPECT_NE(p.out.find(key), std::string::npos) << key;
        if (c.json.empty()) {
            EXPECT_EQ(p.out.find("allowance"), std::string::npos) << p.out;
        }
        p.out.clear();
        ASSERT_EQ(stat::Run(c.args, p), kExitOk) << p.err;
        for (const std::string& text : c.text) {
            EXPECT_NE(p.out.find(text), std::string::npos) << text << "\n" << p.out;
        }
        if (c.text.empty()) {
            EXPECT_EQ(p.out.find("限额"), std::string::npos) << p.out;
        }
    }
}

TEST(StatReport, JsonStringsAreValidUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"宽带连接", "\"宽带连接\""},
        {"10.0\xFF.2", "\"10.0\xEF\xBF\xBD.2\""},            // a damaged address byte
        {"/tmp/\xE5\xAE", "\"/tmp/\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a cut-off character
        {"\xC0\xAF\x01", "\"\xEF\xBF\xBD\xEF\xBF\xBD\\u0001\""},  // overlong, control
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json);
}

TEST(StatReport, AFailedWriteToTheOutputIsReported) {
    for (const bool flushFails : {false, true}) {
        FakePlatform p;
        p.files["C:\\Hourlink\\adsl.bs"] = FileOf({Finished(At(2026, 11, 25), 60)});
        (flushFails ? p.flushWorks : p.outWorks) = false;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{}, {"--summary"}, {"--version"}}) {
            p.err.clear();
            EXPECT_EQ(stat::Run(args, p), kExitOutput);
            EXPECT_NE(p.err.find("无法写入标准输出"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace hourlink::stat
