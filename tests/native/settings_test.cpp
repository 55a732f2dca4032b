#include "core/settings/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/settings/memory_settings_store.h"

namespace hourlink {
namespace {

using Store = MemorySettingsStore;

int Dword(const Store& store, std::wstring_view section, std::wstring_view key) {
    const auto* v = store.Find(section, key);
    if (!v || !std::holds_alternative<std::uint32_t>(*v)) return -12345;
    return static_cast<int>(std::get<std::uint32_t>(*v));
}

// Records the order of writes, to check the start-up sequence.
class RecordingStore final : public SettingsStore {
  public:
    Store inner;
    std::vector<std::pair<std::wstring, int>> writes;

    int ReadInt(std::wstring_view s, std::wstring_view k, int d) override {
        return inner.ReadInt(s, k, d);
    }
    std::wstring ReadString(std::wstring_view s, std::wstring_view k,
                            std::wstring_view d) override {
        return inner.ReadString(s, k, d);
    }
    std::optional<std::vector<std::uint8_t>> ReadBinary(std::wstring_view s,
                                                        std::wstring_view k) override {
        return inner.ReadBinary(s, k);
    }
    bool WriteInt(std::wstring_view s, std::wstring_view k, int v) override {
        writes.emplace_back(std::wstring(k), v);
        return inner.WriteInt(s, k, v);
    }
    bool WriteString(std::wstring_view s, std::wstring_view k, std::wstring_view v) override {
        return inner.WriteString(s, k, v);
    }
    bool WriteBinary(std::wstring_view s, std::wstring_view k,
                     std::span<const std::uint8_t> v) override {
        return inner.WriteBinary(s, k, v);
    }
};

TEST(SettingsNormalization, FreshInstallationGetsTheDocumentedDefaultsInOrder) {
    RecordingStore store;
    EXPECT_EQ(NormalizeSettingsAtStartup(store), 0);

    const std::vector<std::pair<std::wstring, int>> expected{
        {L"DelInterval", 3}, {L"StartDate", 21}, {L"LimitTime", 60},
        {L"AlarmWindow", 1}, {L"DayLimit", 5},   {L"DropWindow", 1},
        {L"TranWindow", 0},  {L"StartRun", 1},   {L"HangUp", 0},
        {L"DataLimit", 0},   {L"WarnShare", 80}};
    EXPECT_EQ(store.writes, expected);
    for (auto key : {L"AlarmSound", L"Adjust", L"RadioAdjust", L"StartMonth"}) {
        EXPECT_FALSE(store.inner.Contains(L"Property", key)) << key;
    }
    EXPECT_EQ(store.inner.Count(), expected.size());

    // A second start finds everything in place and writes nothing but the
    // translucency flag, which is rewritten whenever it is off.
    store.writes.clear();
    NormalizeSettingsAtStartup(store);
    EXPECT_EQ(store.writes, (std::vector<std::pair<std::wstring, int>>{{L"TranWindow", 0}}));
}

TEST(SettingsNormalization, KeepsTheUsersChoices) {
    Store store;
    store.WriteInt(L"Property", L"DropWindow", 0);
    store.WriteInt(L"Property", L"StartRun", 0);
    store.WriteInt(L"Property", L"HangUp", 1);
    store.WriteInt(L"Property", L"AlarmSound", 1);  // sound only: no popup is added
    store.WriteInt(L"Property", L"TranWindow", 1);
    store.WriteInt(L"Property", L"StartDate", 5);
    store.WriteInt(L"Property", L"DayLimit", 24);

    EXPECT_EQ(NormalizeSettingsAtStartup(store), 1);
    EXPECT_EQ(Dword(store, L"Property", L"DropWindow"), 0);
    EXPECT_EQ(Dword(store, L"Property", L"StartRun"), 0);
    EXPECT_EQ(Dword(store, L"Property", L"HangUp"), 1);
    EXPECT_FALSE(store.Contains(L"Property", L"AlarmWindow"));
    EXPECT_EQ(Dword(store, L"Property", L"TranWindow"), 1);
    EXPECT_EQ(Dword(store, L"Property", L"StartDate"), 5);
    EXPECT_EQ(Dword(store, L"Property", L"DayLimit"), 24);
}

TEST(SettingsNormalization, ZeroLimitsAndUnreadableValuesAreReplacedByDefaults) {
    Store store;
    store.WriteInt(L"Property", L"LimitTime", 0);               // written by hand
    store.Put(L"Property", L"StartDate", std::wstring(L"21"));  // a string, not a number
    store.Put(L"Property", L"DayLimit", Store::QWord{5});       // a 64-bit number
    store.WriteInt(L"Property", L"DelInterval", -1);            // 0xFFFFFFFF
    store.WriteInt(L"Property", L"DropWindow", 7);              // not an on/off value
    store.WriteInt(L"Property", L"HangUp", 123456789);

    NormalizeSettingsAtStartup(store);
    EXPECT_EQ(Dword(store, L"Property", L"LimitTime"), 60);
    EXPECT_EQ(Dword(store, L"Property", L"StartDate"), 21);
    EXPECT_EQ(Dword(store, L"Property", L"DayLimit"), 5);
    EXPECT_EQ(Dword(store, L"Property", L"DelInterval"), 3);
    EXPECT_EQ(Dword(store, L"Property", L"DropWindow"), 1);
    EXPECT_EQ(Dword(store, L"Property", L"HangUp"), 0);
}

TEST(SettingsTable, EveryIntegerReadsItsDefaultWhenAbsentOrOutOfRange) {
    Store store;
    for (const IntSetting& s : settings::kAllInts) {
        EXPECT_EQ(ReadSetting(store, s), s.readDefault) << std::wstring(s.key);
        store.WriteInt(s.section, s.key, s.max + 1);
        EXPECT_EQ(ReadSetting(store, s), s.readDefault) << std::wstring(s.key);
        store.WriteInt(s.section, s.key, s.min - 1 == s.readDefault ? s.min - 2 : s.min - 1);
        EXPECT_EQ(ReadSetting(store, s), s.readDefault) << std::wstring(s.key);
        store.WriteInt(s.section, s.key, s.max);
        EXPECT_EQ(ReadSetting(store, s), s.max) << std::wstring(s.key);
    }
    // Keys are matched without regard to case, as the registry does.
    store.WriteInt(L"property", L"limittime", 100);
    EXPECT_EQ(ReadSetting(store, settings::kLimitTime), 100);
}

TEST(SettingsTable, StartDayIsTheStoredDayOrTwentyOne) {
    Store store;
    EXPECT_EQ(ReadStartDay(store), 21);  // absent
    for (const auto& [stored, day] : {std::pair{0, 21}, {1, 1}, {30, 30}, {31, 21}, {-5, 21}}) {
        store.WriteInt(L"Property", L"StartDate", stored);
        EXPECT_EQ(ReadStartDay(store), day) << stored;
    }
}

TEST(SettingsRestoreDefaults, ResetsTheMainOptionsOnly) {
    Store store;
    store.WriteInt(L"Property", L"LimitTime", 200);
    store.WriteInt(L"Property", L"AlarmSound", 1);
    store.WriteInt(L"Property", L"Adjust", 10);
    store.WriteInt(L"Property", L"RadioAdjust", 1);
    store.WriteInt(L"Property", L"StartMonth", 4);
    store.WriteString(L"Property", L"DefaultConnect", L"宽带连接");
    store.WriteInt(L"Advance", L"count", 7);

    RestoreDefaultSettings(store);
    EXPECT_EQ(Dword(store, L"Property", L"DelInterval"), 3);
    EXPECT_EQ(Dword(store, L"Property", L"StartDate"), 21);
    EXPECT_EQ(Dword(store, L"Property", L"LimitTime"), 60);
    EXPECT_EQ(Dword(store, L"Property", L"AlarmSound"), 0);
    EXPECT_EQ(Dword(store, L"Property", L"AlarmWindow"), 1);
    EXPECT_EQ(Dword(store, L"Property", L"DayLimit"), 5);
    EXPECT_EQ(Dword(store, L"Property", L"DropWindow"), 1);
    EXPECT_EQ(Dword(store, L"Property", L"TranWindow"), 0);
    EXPECT_EQ(Dword(store, L"Property", L"StartRun"), 1);
    EXPECT_EQ(Dword(store, L"Property", L"HangUp"), 0);
    EXPECT_EQ(Dword(store, L"Property", L"Adjust"), 0);
    EXPECT_EQ(Dword(store, L"Property", L"RadioAdjust"), 1);
    EXPECT_EQ(Dword(store, L"Property", L"StartMonth"), 4);
    EXPECT_EQ(ReadSetting(store, settings::kDefaultConnect), L"宽带连接");
    EXPECT_EQ(Dword(store, L"Advance", L"count"), 7);
}

TEST(WindowPlacementSettings, UsedOnlyWhenAllFiveValuesArePresent) {
    for (auto section : {settings::kFrame, settings::kDragDlg}) {
        Store store;
        EXPECT_FALSE(ReadWindowPlacement(store, section));
        const WindowPlacement saved{1, 40, 30, 500, 700};
        WriteWindowPlacement(store, section, saved);
        const auto read = ReadWindowPlacement(store, section);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->status, 1);
        EXPECT_EQ(read->top, 40);
        EXPECT_EQ(read->left, 30);
        EXPECT_EQ(read->bottom, 500);
        EXPECT_EQ(read->right, 700);

        for (auto key : {L"Status", L"Top", L"Left", L"Bottom", L"Right"}) {
            Store partial = store;
            partial.Remove(section, key);
            EXPECT_FALSE(ReadWindowPlacement(partial, section)) << key;
            partial.WriteInt(section, key, -1);
            EXPECT_FALSE(ReadWindowPlacement(partial, section)) << key;
        }
    }
}

TEST(ShutdownTimeSetting, FourLittleEndianBytesAndNothingElse) {
    Store store;
    EXPECT_FALSE(ReadShutdownTime(store));
    WriteShutdownTime(store, 0x12345678);
    const auto bytes = store.ReadBinary(L"Shutdown", L"Time");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(ReadShutdownTime(store), 0x12345678);

    WriteShutdownTime(store, -2);
    EXPECT_EQ(ReadShutdownTime(store), -2);

    store.Put(L"Shutdown", L"Time", std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_FALSE(ReadShutdownTime(store));
    store.Put(L"Shutdown", L"Time", std::vector<std::uint8_t>(8, 1));
    EXPECT_FALSE(ReadShutdownTime(store));
    store.Put(L"Shutdown", L"Time", 1000u);  // a DWORD is not the binary value
    EXPECT_FALSE(ReadShutdownTime(store));

    // A moment in the past (or now) is no pending shutdown.
    WriteShutdownTime(store, 1000);
    EXPECT_FALSE(ReadPendingShutdownTime(store, 1000));
    EXPECT_FALSE(ReadPendingShutdownTime(store, 5000));
    EXPECT_EQ(ReadPendingShutdownTime(store, 999), 1000);
}

TEST(DataDirectorySetting, RecordsLeaveAProgramFolderThatCannotBeWrittenForTheUsersOwn) {
    const wchar_t* program = L"C:\\Program Files\\Hourlink\\";
    const wchar_t* local = L"C:\\Users\\ann\\AppData\\Local";
    const struct {
        const wchar_t* directorySetting;
        bool writable;
        const wchar_t* localAppData;
        const wchar_t* directory;
        bool moved;
    } cases[] = {
        {L"", true, local, program, false},
        {L"", false, local, L"C:\\Users\\ann\\AppData\\Local\\Hourlink\\", true},
        {L"", false, L"D:\\Local\\", L"D:\\Local\\Hourlink\\", true},
        {L"", false, L"", program, false},  // nowhere better: the program's folder
        {L"E:\\records", false, local, L"E:\\records", false},  // the user's choice stands
    };
    for (const auto& c : cases) {
        Store store;
        store.WriteString(L"", L"Directory", c.directorySetting);
        int probes = 0;
        const RecordFolder folder = ChooseRecordFolder(
            store, program, [&] { return ++probes, c.writable; }, c.localAppData);
        // The disk is probed only when the user chose no folder.
        EXPECT_EQ(probes, *c.directorySetting || !*c.localAppData ? 0 : 1);
        EXPECT_EQ(folder.directory, c.directory) << c.directorySetting << c.writable;
        EXPECT_EQ(folder.moved, c.moved) << c.directorySetting << c.writable;
    }
}

TEST(DataDirectorySetting, FallsBackToTheProgramDirectory) {
    Store store;
    EXPECT_EQ(ReadDataDirectory(store, L"C:\\Program Files\\Hourlink"),
              L"C:\\Program Files\\Hourlink");
    store.WriteString(L"", L"Directory", L"");
    EXPECT_EQ(ReadDataDirectory(store, L"C:\\x"), L"C:\\x");
    store.WriteString(L"", L"Directory", L"D:\\data");
    EXPECT_EQ(ReadDataDirectory(store, L"C:\\x"), L"D:\\data");
    store.Put(L"", L"Directory", 5u);  // not a string
    EXPECT_EQ(ReadDataDirectory(store, L"C:\\x"), L"C:\\x");
}

}  // namespace
}  // namespace hourlink
