// The backup file, the start-up recovery of an unfinished record and the purge
// of old records, on real files through CFixLenRecDoc.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <tuple>

#include "core/base/byte_order.h"
#include "core/base/clock.h"
#include "core/base/posix_file_system.h"
#include "core/base/session_record.h"
#include "core/records/backup_file.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_maintenance.h"
#include "core/records/record_table.h"
#include "core/settings/memory_settings_store.h"
#include "test_support.h"

namespace hourlink {
namespace {

using test::Bytes;
using test::FileBytes;
using test::ReadAll;
using test::WriteAll;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::int64_t kDay = 86'400;

// Noon local time on a day of November 2023.
std::int64_t LocalNoon(int day) {
    std::tm tm{};
    tm.tm_year = 2023 - 1900;
    tm.tm_mon = 10;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

SessionRecord Started(std::uint32_t start, const char* name = "ADSL") {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = start;
    r.type = 2;
    r.SetName(name);
    r.SetClientIp("10.0.0.2");
    return r;
}

SessionRecord Finished(std::uint32_t start, std::int32_t seconds) {
    SessionRecord r = Started(start);
    r.Complete(seconds);
    r.bytesReceived = 5000;
    return r;
}

Bytes BackupBytes(std::int32_t value) {
    Bytes bytes(4);
    StoreI32(bytes.data(), value);
    return bytes;
}

// The records of a whole record file, and its header.
struct FileContents {
    RecordFileHeader header;
    std::vector<SessionRecord> records;
    std::size_t size = 0;
};

FileContents Parse(const Bytes& bytes) {
    FileContents contents;
    contents.size = bytes.size();
    if (bytes.size() < kHeaderSize) return contents;
    contents.header = DecodeHeader(bytes.data());
    for (std::size_t at = kHeaderSize; at + kRecordSize <= bytes.size(); at += kRecordSize) {
        contents.records.push_back(DecodeRecord(bytes.data() + at));
    }
    return contents;
}

class Maintenance : public ::testing::Test {
  protected:
    void WriteRecordFile(const std::vector<SessionRecord>& records, std::uint8_t countdown = 0) {
        RecordFileHeader header;
        header.time = 1'600'000'000;
        header.purgeCountdown = countdown;
        header.recordCount = static_cast<std::uint32_t>(records.size());
        WriteAll(recordFile, FileBytes(header, records));
    }
    void OpenDoc() {
        doc = std::make_unique<CFixLenRecDoc>(files, clock, notifier);
        ASSERT_TRUE(doc->OpenForUpdate(recordPath));
    }
    std::vector<SessionRecord> TableRecords() const { return table.Snapshot(); }
    FileContents OnDisk() const { return Parse(ReadAll(recordFile)); }

    test::TempDir dir;
    std::filesystem::path recordFile = dir.File("adsl.bs");
    std::filesystem::path backupFile = dir.File("adsl.bak");
    std::wstring recordPath = dir.WinPath("adsl.bs");
    test::FaultyFileSystem files;
    ManualClock clock{LocalNoon(25)};
    test::RecordingNotifier notifier;
    MemorySettingsStore settings;
    RecordTable table;
    std::unique_ptr<CFixLenRecDoc> doc;
    RecordMaintenance maintenance{files, clock, settings, notifier};
};

// --- The backup file ---------------------------------------------------------

TEST_F(Maintenance, BackupIsWrittenAtEveryFullMinuteAndNeverShortened) {
    EXPECT_EQ(BackupFile::PathBeside(recordPath), dir.WinPath("adsl.bak"));
    EXPECT_EQ(BackupFile::PathBeside(L"adsl.bs"), L"adsl.bak");

    BackupFile backup(files);
    ASSERT_TRUE(backup.Open(dir.WinPath("adsl.bak")));
    EXPECT_TRUE(backup.WriteAtFullMinute(0));
    EXPECT_EQ(ReadAll(backupFile), BackupBytes(0));
    EXPECT_TRUE(backup.WriteAtFullMinute(600));
    EXPECT_TRUE(backup.WriteAtFullMinute(659));  // not a full minute: nothing written
    EXPECT_EQ(ReadAll(backupFile), BackupBytes(600));
    EXPECT_EQ(BackupFile::Read(files, dir.WinPath("adsl.bak")), 600);  // read while open

    // A longer file (written by something else) keeps its length.
    backup.Close();
    WriteAll(backupFile, {1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_TRUE(backup.Open(dir.WinPath("adsl.bak")));
    EXPECT_TRUE(backup.Write(3'600'000'000LL));  // clamped to the largest 32-bit value
    EXPECT_EQ(ReadAll(backupFile), (Bytes{0xFF, 0xFF, 0xFF, 0x7F, 5, 6, 7, 8}));
}

TEST_F(Maintenance, BackupDeniesOtherWritersAndIsReopenedAfterAFailedOpen) {
    BackupFile first(files);
    ASSERT_TRUE(first.Open(dir.WinPath("adsl.bak")));
    BackupFile second(files);
    EXPECT_FALSE(second.Open(dir.WinPath("adsl.bak")));
    EXPECT_EQ(second.LastError(), PosixFileSystem::kSharingViolation);
    EXPECT_FALSE(second.Write(60));

    // Once the other writer is gone, the next write opens the file itself.
    first.Close();
    EXPECT_TRUE(second.Write(120));
    EXPECT_TRUE(second.IsOpen());
    EXPECT_EQ(ReadAll(backupFile), BackupBytes(120));
}

TEST_F(Maintenance, BackupReadNeedsFourBytes) {
    EXPECT_EQ(BackupFile::Read(files, dir.WinPath("adsl.bak")), std::nullopt);
    WriteAll(backupFile, {0x58, 0x02, 0x00});
    EXPECT_EQ(BackupFile::Read(files, dir.WinPath("adsl.bak")), std::nullopt);
    WriteAll(backupFile, {0x58, 0x02, 0x00, 0x00, 0x99});
    EXPECT_EQ(BackupFile::Read(files, dir.WinPath("adsl.bak")), 600);
}

// --- Recovery at start-up ----------------------------------------------------

class Recovery : public Maintenance, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(Recovery, CompletesTheLastRecordFromTheBackup) {
    const auto [seconds, billed] = GetParam();
    const SessionRecord open = Started(1'699'000'000, "Office");
    WriteRecordFile({Finished(1'698'000'000, 900), open}, 100);
    WriteAll(backupFile, BackupBytes(seconds));
    OpenDoc();

    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false), RecoveryResult::Recovered);

    SessionRecord expected = open;
    expected.duration = seconds;
    expected.end = open.start + static_cast<std::uint32_t>(seconds);
    expected.billed = billed;
    expected.continuation = 2;
    const FileContents disk = OnDisk();
    EXPECT_THAT(disk.records, ElementsAre(Finished(1'698'000'000, 900), expected));
    EXPECT_EQ(disk.header.purgeCountdown, 100);  // the header is not rewritten
    EXPECT_EQ(TableRecords(), disk.records);
    EXPECT_THAT(notifier.messages, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(BackupValues, Recovery,
                         ::testing::Values(std::make_tuple(600, 600), std::make_tuple(61, 60),
                                           std::make_tuple(62, 120)));

TEST_F(Maintenance, RecoveryLeavesCompletedRecordsAndMissingBackupsAlone) {
    // A completed last record, whatever the backup holds.
    WriteRecordFile({Finished(1'698'000'000, 900)});
    WriteAll(backupFile, BackupBytes(600));
    const Bytes before = ReadAll(recordFile);
    OpenDoc();
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false), RecoveryResult::Complete);
    EXPECT_EQ(ReadAll(recordFile), before);

    // An open record and no usable backup: it stays open.
    WriteRecordFile({Finished(1'698'000'000, 900), Started(1'699'000'000)});
    const Bytes open = ReadAll(recordFile);
    OpenDoc();
    std::filesystem::remove(backupFile);
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false), RecoveryResult::NoBackup);
    WriteAll(backupFile, {0x58, 0x02});
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false), RecoveryResult::NoBackup);
    // A negative length is not a session length.
    WriteAll(backupFile, BackupBytes(-60));
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false), RecoveryResult::BadBackup);
    EXPECT_EQ(ReadAll(recordFile), open);

    // An empty file has nothing to recover.
    WriteRecordFile({});
    OpenDoc();
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false), RecoveryResult::NoRecord);
    EXPECT_THAT(notifier.messages, IsEmpty());
}

TEST_F(Maintenance, RecoveryLeavesAContinuedRecordAndNeverCompletesAnOlderOne) {
    WriteAll(backupFile, BackupBytes(300));
    WriteRecordFile({Started(1'698'000'000), Started(1'699'000'000)});
    const Bytes before = ReadAll(recordFile);
    OpenDoc();

    // The session up now continues the last record: the backup counts its
    // minutes, which belong to no other record.
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, true), RecoveryResult::NoRecord);
    EXPECT_EQ(ReadAll(recordFile), before);

    // Any other session up now (a line dialled again after a power cut): the
    // last record is the crashed one.
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false), RecoveryResult::Recovered);
    EXPECT_TRUE(OnDisk().records[0].IsOpen());
    EXPECT_EQ(OnDisk().records[1].duration, 300);
}

TEST_F(Maintenance, RecoveryTellsTheUserWhenTheTableCannotBeReloaded) {
    WriteRecordFile({Finished(1'698'000'000, 60), Started(1'699'000'000)});
    WriteAll(backupFile, BackupBytes(120));
    OpenDoc();
    // The disk stops answering reads once the completed record is written.
    bool written = false;
    files.fails = [&written](test::FaultyFileSystem::Op op) {
        written = written || op == test::FaultyFileSystem::Op::Flush;
        return written && op == test::FaultyFileSystem::Op::Read;
    };
    EXPECT_EQ(maintenance.RecoverUnfinishedRecord(*doc, table, false),
              RecoveryResult::ReloadFailed);
    EXPECT_THAT(notifier.messages, ElementsAre(L"WriteBuf()失败"));
    EXPECT_EQ(OnDisk().records[1].duration, 120);  // on disk all the same
}

TEST_F(Maintenance, TheWatcherHooksRunRecoveryAndPurgeCheck) {
    WriteRecordFile({Started(1'699'000'000)}, 0);
    WriteAll(backupFile, BackupBytes(60));
    OpenDoc();
    doc->SetPurgeCheck(maintenance.PurgeCheck());
    maintenance.StartupRecovery()(*doc, table, false);
    doc->AfterSessionCheck(table);
    EXPECT_EQ(OnDisk().records[0].duration, 60);
    // Too few records to purge: the countdown starts again.
    EXPECT_EQ(doc->Header().purgeCountdown, CFixLenRecDoc::kPurgeCountdownStart);
}

// --- The purge check ---------------------------------------------------------

TEST(PurgeCutoff, OneMoreMonthBeforeTheStartDay) {
    EXPECT_EQ(PurgeCutoff(LocalNoon(10), 3, 21), LocalNoon(10) - 4 * 30 * kDay);
    EXPECT_EQ(PurgeCutoff(LocalNoon(25), 3, 21), LocalNoon(25) - 3 * 30 * kDay);
    EXPECT_EQ(PurgeCutoff(LocalNoon(21), 3, 21), LocalNoon(21) - 3 * 30 * kDay);
    EXPECT_EQ(PurgeCutoff(LocalNoon(20), 1, 21), LocalNoon(20) - 2 * 30 * kDay);
}

// `old` records at or before the cutoff (the last of them exactly at it), then
// `recent` ones after it, a session an hour.
std::vector<SessionRecord> History(std::int64_t cutoff, int old, int recent) {
    std::vector<SessionRecord> records;
    for (int i = 0; i < old; ++i) {
        records.push_back(
            Finished(static_cast<std::uint32_t>(cutoff - (old - 1 - i) * 3600), 60 + i));
    }
    for (int i = 1; i <= recent; ++i) {
        records.push_back(Finished(static_cast<std::uint32_t>(cutoff + i * 3600), 1000 + i));
    }
    return records;
}

TEST(PurgeDropCount, FiftyOldRecordsFromTheSecondOnStartAPurge) {
    constexpr std::int64_t kCutoff = 1'690'000'000;
    // Index 0 plus 49 old ones: nothing; plus 50: all old but 21 go.
    EXPECT_EQ(PurgeDropCount(History(kCutoff, 50, 10), kCutoff), 0u);
    EXPECT_EQ(PurgeDropCount(History(kCutoff, 51, 10), kCutoff), 30u);
    EXPECT_EQ(PurgeDropCount(History(kCutoff, 80, 0), kCutoff), 59u);
    // A first record after the cutoff stops the check, whatever follows.
    std::vector<SessionRecord> records = History(kCutoff, 80, 0);
    records[0].start = static_cast<std::uint32_t>(kCutoff + 1);
    EXPECT_EQ(PurgeDropCount(records, kCutoff), 0u);
    EXPECT_EQ(PurgeDropCount(std::span<const SessionRecord>{}, kCutoff), 0u);
}

class Purge : public Maintenance {
  protected:
    // DelInterval 3, StartDate 21, today the 25th: 90 days back.
    std::int64_t Cutoff() const { return clock.Now() - 90 * kDay; }
    void SetUpHistory(int old, int recent) {
        settings.WriteInt(L"Property", L"DelInterval", 3);
        settings.WriteInt(L"Property", L"StartDate", 21);
        history = History(Cutoff(), old, recent);
        WriteRecordFile(history, 0);
        OpenDoc();
        ASSERT_EQ(doc->LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    }
    std::vector<SessionRecord> Kept(std::size_t drop) const {
        return {history.begin() + static_cast<std::ptrdiff_t>(drop), history.end()};
    }
    // The file as a fresh writer finds it: whole, loadable, and equal to one of
    // the two expected contents.
    std::vector<SessionRecord> LoadFresh() {
        CFixLenRecDoc fresh(files, clock, notifier);
        EXPECT_TRUE(fresh.OpenForUpdate(recordPath));
        EXPECT_EQ(fresh.Defects(), CFixLenRecDoc::kNoDefect);
        RecordTable loaded;
        EXPECT_EQ(fresh.LoadTable(loaded), CFixLenRecDoc::LoadResult::Loaded);
        return loaded.Snapshot();
    }
    bool NewFileLeft() const { return std::filesystem::exists(dir.File("adsl.bs.new")); }

    std::vector<SessionRecord> history;
};

TEST_F(Purge, FortyNineOldRecordsAreKeptAndTheCountdownRestarts) {
    SetUpHistory(50, 5);
    const Bytes before = ReadAll(recordFile);
    EXPECT_EQ(maintenance.CheckPurge(*doc, table), 0u);
    EXPECT_EQ(ReadAll(recordFile), before);
    EXPECT_EQ(doc->Header().purgeCountdown, 255);
    // The file gets it with the next header write.
    ASSERT_TRUE(doc->Append(Started(static_cast<std::uint32_t>(clock.Now()))));
    EXPECT_EQ(OnDisk().header.purgeCountdown, 254);
}

TEST_F(Purge, FiftyOldRecordsDropThirtyAndTheWriterMovesToTheNewFile) {
    SetUpHistory(51, 5);  // indices 0..50 old: 50 counted from index 1
    EXPECT_EQ(maintenance.CheckPurge(*doc, table), 30u);

    const FileContents disk = OnDisk();
    EXPECT_EQ(disk.size, kHeaderSize + kRecordSize * 26);
    EXPECT_EQ(disk.header.tag, (std::array<char, 4>{'1', '2', 0, 0}));
    EXPECT_EQ(disk.header.time, static_cast<std::uint32_t>(clock.Now()));
    EXPECT_EQ(disk.header.purgeCountdown, 254);
    EXPECT_EQ(disk.header.dropCount, 0);
    EXPECT_EQ(disk.header.recordCount, 26u);
    EXPECT_EQ(disk.header.headerSize, 32u);
    EXPECT_EQ(disk.header.recordSize, 84u);
    EXPECT_EQ(disk.records, Kept(30));  // 21 old ones (index 30..50) and the recent
    EXPECT_EQ(TableRecords(), Kept(30));
    EXPECT_EQ(doc->Header(), disk.header);
    EXPECT_FALSE(NewFileLeft());

    // The writer holds the new file, denying writes to others, and appends to it.
    CFixLenRecDoc other(files, clock, notifier);
    EXPECT_FALSE(other.OpenForUpdate(recordPath));
    EXPECT_EQ(doc->Append(Started(static_cast<std::uint32_t>(clock.Now()))), 26u);
    EXPECT_EQ(OnDisk().records.size(), 27u);
    EXPECT_EQ(OnDisk().header.purgeCountdown, 253);
}

TEST_F(Purge, OutOfRangeSettingsReadAsTheDefaults) {
    settings.WriteInt(L"Property", L"DelInterval", 0);  // would make every record old
    settings.WriteInt(L"Property", L"StartDate", 99);
    history = History(clock.Now() - 90 * kDay, 51, 0);
    // Sessions between 90 and 30 days old: old only with the default of 3 months.
    for (int i = 0; i < 60; ++i) {
        history.push_back(Finished(static_cast<std::uint32_t>(clock.Now() - 60 * kDay + i), 60));
    }
    WriteRecordFile(history, 0);
    OpenDoc();
    ASSERT_EQ(doc->LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    EXPECT_EQ(maintenance.CheckPurge(*doc, table), 30u);
}

TEST_F(Purge, IsRefusedWhenItWouldLoseRecords) {
    SetUpHistory(51, 5);
    const Bytes before = ReadAll(recordFile);
    doc->SetDropCount(56);  // all of them
    EXPECT_EQ(maintenance.Purge(*doc, table), PurgeResult::Refused);
    doc->SetDropCount(0);
    EXPECT_EQ(maintenance.Purge(*doc, table), PurgeResult::Refused);
    table.Append(Started(1));  // the table no longer mirrors the file
    doc->SetDropCount(30);
    EXPECT_EQ(maintenance.Purge(*doc, table), PurgeResult::Refused);
    EXPECT_EQ(ReadAll(recordFile), before);

    // Records beyond the count would not be in the table.
    RecordFileHeader header;
    header.recordCount = 55;
    WriteAll(recordFile, FileBytes(header, history));
    OpenDoc();
    ASSERT_EQ(doc->LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    doc->SetDropCount(30);
    EXPECT_EQ(maintenance.Purge(*doc, table), PurgeResult::Refused);
    EXPECT_EQ(OnDisk().records.size(), 56u);
}

TEST_F(Purge, AFileThatCannotBeCreatedLeavesTheOldOneInUse) {
    SetUpHistory(51, 5);
    std::filesystem::create_directory(dir.File("adsl.bs.new"));  // in the way
    EXPECT_EQ(maintenance.CheckPurge(*doc, table), 0u);
    EXPECT_EQ(OnDisk().records, history);
    EXPECT_EQ(TableRecords(), history);
    EXPECT_EQ(doc->Header().dropCount, 0);
    EXPECT_EQ(doc->Header().purgeCountdown, 0);  // tried again at the next start
}

TEST_F(Purge, OverwritesANewFileLeftByAnEarlierRun) {
    SetUpHistory(51, 5);
    WriteAll(dir.File("adsl.bs.new"), Bytes(20'000, 0xEE));
    EXPECT_EQ(maintenance.CheckPurge(*doc, table), 30u);
    EXPECT_EQ(OnDisk().records, Kept(30));
    EXPECT_EQ(OnDisk().size, kHeaderSize + kRecordSize * 26);
}

// Every step, failed: the writer is left on a whole file that the table mirrors.
class PurgeFailure : public Purge, public ::testing::WithParamInterface<PurgeStep> {};

TEST_P(PurgeFailure, LeavesAWholeFileInUse) {
    SetUpHistory(51, 5);
    const PurgeStep failing = GetParam();
    maintenance.SetFaultHook(
        [failing](PurgeStep s) { return s == failing ? FaultAction::Fail : FaultAction::Proceed; });
    doc->SetDropCount(30);
    const PurgeResult result = maintenance.Purge(*doc, table);
    EXPECT_FALSE(NewFileLeft());

    if (failing == PurgeStep::ReopenWriter) {
        // The new file is in place; the writer is closed and the user told.
        EXPECT_EQ(result, PurgeResult::ReopenFailed);
        EXPECT_FALSE(doc->IsOpenForUpdate());
        EXPECT_EQ(notifier.errors.size(), 1u);
        EXPECT_EQ(TableRecords(), Kept(30));
        EXPECT_EQ(LoadFresh(), Kept(30));
        return;
    }
    EXPECT_EQ(result, PurgeResult::Failed);
    EXPECT_THAT(notifier.errors, IsEmpty());
    EXPECT_EQ(TableRecords(), history);
    EXPECT_EQ(OnDisk().records, history);
    // The writer is (again) on the old file and appends after its last record.
    ASSERT_TRUE(doc->IsOpenForUpdate());
    EXPECT_EQ(doc->Append(Started(static_cast<std::uint32_t>(clock.Now()))), 56u);
    EXPECT_EQ(OnDisk().records.size(), 57u);
}

// Every step, with the program dying there: the next run finds a whole file,
// old or new, and purges it despite the new file left behind.
class PurgeCrash : public Purge, public ::testing::WithParamInterface<PurgeStep> {};

TEST_P(PurgeCrash, LeavesTheOldOrTheNewFileWhole) {
    SetUpHistory(51, 5);
    const PurgeStep dying = GetParam();
    maintenance.SetFaultHook(
        [dying](PurgeStep s) { return s == dying ? FaultAction::Crash : FaultAction::Proceed; });
    doc->SetDropCount(30);
    EXPECT_EQ(maintenance.Purge(*doc, table), PurgeResult::Crashed);
    doc.reset();  // the process is gone: its handles close

    const bool swapped = dying == PurgeStep::ReopenWriter;
    EXPECT_EQ(LoadFresh(), swapped ? Kept(30) : history);

    if (swapped) return;
    maintenance.SetFaultHook({});
    OpenDoc();
    ASSERT_EQ(doc->LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    EXPECT_EQ(maintenance.CheckPurge(*doc, table), 30u);
    EXPECT_EQ(OnDisk().records, Kept(30));
    EXPECT_FALSE(NewFileLeft());
}

std::string StepName(const ::testing::TestParamInfo<PurgeStep>& info) {
    static const char* const kNames[] = {"CreateNewFile",    "WriteNewHeader", "WriteRecords",
                                         "WriteMoreRecords", "FlushNewFile",   "CloseWriter",
                                         "ReplaceFile",      "ReopenWriter"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(AllSteps, PurgeFailure, ::testing::ValuesIn(kAllPurgeSteps), StepName);
INSTANTIATE_TEST_SUITE_P(AllSteps, PurgeCrash, ::testing::ValuesIn(kAllPurgeSteps), StepName);

}  // namespace
}  // namespace hourlink
