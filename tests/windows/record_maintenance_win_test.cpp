// The purge and the backup file against the real file API: the purge swaps in
// the new record file while the writer has the old one open (without delete
// sharing), and the history reader can read the header throughout.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/base/session_record.h"
#include "core/records/backup_file.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_maintenance.h"
#include "core/records/record_table.h"
#include "core/settings/memory_settings_store.h"
#include "shell/platform/win32_file_system.h"
#include "temp_dir.h"

namespace hourlink {
namespace {

constexpr std::int64_t kNow = 1'700'000'000;

using test::TempDir;

SessionRecord Finished(std::int64_t start, std::int32_t seconds) {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = static_cast<std::uint32_t>(start);
    r.type = 2;
    r.SetName("ADSL");
    r.SetClientIp("10.0.0.2");
    r.Complete(seconds);
    return r;
}

std::uint64_t FileLength(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class WinPurge : public ::testing::Test {
  protected:
    // 51 sessions older than four retention months (old on any day of the
    // month), then 5 recent ones: a purge of 30 leaves 26.
    void MakeFile() {
        settings.WriteInt(L"Property", L"DelInterval", 3);
        settings.WriteInt(L"Property", L"StartDate", 21);
        ASSERT_TRUE(writer.OpenForUpdate(path));
        for (int i = 0; i < 51; ++i) {
            ASSERT_TRUE(writer.Append(Finished(kNow - 130LL * 86'400 + i * 3600, 60 + i)));
        }
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(writer.Append(Finished(kNow - 3600 * (5 - i), 600)));
        ASSERT_EQ(writer.LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    }

    TempDir dir;
    std::wstring path = dir.File(L"adsl.bs");
    Win32FileSystem files;
    ManualClock clock{kNow};
    SilentNotifier notifier;
    MemorySettingsStore settings;
    RecordTable table;
    CFixLenRecDoc writer{files, clock, notifier};
    RecordMaintenance maintenance{files, clock, settings, notifier};
};

TEST_F(WinPurge, ReplacesTheFileTheWriterHasOpen) {
    MakeFile();

    // Why the writer lets go of its handle for the swap: Windows refuses to
    // replace a file that is open without delete sharing.
    const std::wstring other = dir.File(L"other.bs");
    CloseHandle(CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_FALSE(files.Replace(other, path));

    // The history reader reads the header at every step of the purge.
    CFixLenRecDoc reader(files, clock, notifier);
    std::vector<std::uint32_t> counts;
    maintenance.SetFaultHook([&](PurgeStep) {
        counts.push_back(reader.OpenForRead(path) ? reader.RecordCount() : 0);
        return FaultAction::Proceed;
    });
    ASSERT_EQ(maintenance.CheckPurge(writer, table), 30u);
    EXPECT_EQ(counts, (std::vector<std::uint32_t>{56, 56, 56, 56, 56, 56, 56, 26}));
    EXPECT_EQ(FileLength(path), 32u + 84u * 26);
    EXPECT_EQ(GetFileAttributesW(dir.File(L"adsl.bs.new").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(reader.OpenForRead(path));
    EXPECT_EQ(reader.RecordCount(), 26u);
    EXPECT_EQ(reader.Header().purgeCountdown, 254);
    EXPECT_EQ(table.Size(), 26u);

    // The writer's handle is on the new file: it still denies writes to others
    // and its next record lands there.
    const HANDLE intruder =
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(intruder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (intruder != INVALID_HANDLE_VALUE) CloseHandle(intruder);
    EXPECT_EQ(writer.Append(Finished(kNow, 60)), 26u);
    EXPECT_EQ(FileLength(path), 32u + 84u * 27);
    ASSERT_TRUE(reader.OpenForRead(path));
    EXPECT_EQ(reader.RecordCount(), 27u);
}

TEST_F(WinPurge, AReaderHoldingTheFileOpenMakesThePurgeWaitForTheNextStart) {
    MakeFile();
    const HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    writer.SetDropCount(30);
    EXPECT_EQ(maintenance.Purge(writer, table), PurgeResult::Failed);
    CloseHandle(held);

    EXPECT_EQ(FileLength(path), 32u + 84u * 56);
    EXPECT_EQ(table.Size(), 56u);
    EXPECT_EQ(GetFileAttributesW(dir.File(L"adsl.bs.new").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(writer.IsOpenForUpdate());
    EXPECT_EQ(writer.Append(Finished(kNow, 60)), 56u);
}

TEST_F(WinPurge, TheBackupIsReadWhileTheFrameHoldsIt) {
    BackupFile backup(files);
    ASSERT_TRUE(backup.Open(dir.File(L"adsl.bak")));
    ASSERT_TRUE(backup.Write(600));
    EXPECT_EQ(BackupFile::Read(files, dir.File(L"adsl.bak")), 600);
    BackupFile second(files);
    EXPECT_FALSE(second.Open(dir.File(L"adsl.bak")));
    EXPECT_EQ(second.LastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(FileLength(dir.File(L"adsl.bak")), 4u);
}

}  // namespace
}  // namespace hourlink
