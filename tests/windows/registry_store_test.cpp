// The registry side of the settings store, against Wine's real registry. Each
// test works under a key of its own below HKCU\Software\HourlinkTest and removes
// it afterwards, so the program's own key is never touched.
#include "shell/platform/registry_settings_store.h"

#include <gtest/gtest.h>

#include <string>

#include "core/settings/settings.h"

namespace hourlink {
namespace {

class RegistryStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        base_ = L"Software\\HourlinkTest\\";
        for (const char* p = info->name(); *p; ++p) base_ += static_cast<wchar_t>(*p);
        RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
        store_ = std::make_unique<RegistrySettingsStore>(HKEY_CURRENT_USER, base_);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str()); }

    // Type and bytes of a value, read directly.
    bool Raw(const std::wstring& section, const wchar_t* name, DWORD& type,
             std::vector<BYTE>& data) {
        HKEY key = nullptr;
        const std::wstring path = section.empty() ? base_ : base_ + L"\\" + section;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != 0) {
            return false;
        }
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        data.resize(size);
        if (rc == ERROR_SUCCESS) {
            rc = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
        }
        RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }

    void PutRaw(const std::wstring& section, const wchar_t* name, DWORD type, const void* data,
                DWORD size) {
        HKEY key = nullptr;
        const std::wstring path = section.empty() ? base_ : base_ + L"\\" + section;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    std::wstring base_;
    std::unique_ptr<RegistrySettingsStore> store_;
};

TEST_F(RegistryStoreTest, WritesTheRegistryTypesAndReadsThemBack) {
    EXPECT_TRUE(store_->WriteInt(L"Property", L"LimitTime", 120));
    EXPECT_TRUE(store_->WriteString(L"Property", L"DefaultConnect", L"宽带连接"));
    const std::vector<std::uint8_t> time{0x78, 0x56, 0x34, 0x12};
    EXPECT_TRUE(store_->WriteBinary(L"Shutdown", L"Time", time));
    EXPECT_TRUE(store_->WriteString(L"", L"Directory", L"C:\\data"));

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Raw(L"Property", L"LimitTime", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, (std::vector<BYTE>{120, 0, 0, 0}));

    ASSERT_TRUE(Raw(L"Property", L"DefaultConnect", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data.size(), (4 + 1) * sizeof(wchar_t));  // stored with its terminating NUL

    ASSERT_TRUE(Raw(L"Shutdown", L"Time", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data, (std::vector<BYTE>{0x78, 0x56, 0x34, 0x12}));

    // Directory lives at the root of the program's key, not in a section.
    ASSERT_TRUE(Raw(L"", L"Directory", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

    EXPECT_EQ(store_->ReadInt(L"Property", L"LimitTime", 0), 120);
    EXPECT_EQ(store_->ReadInt(L"PROPERTY", L"limittime", 0), 120);  // the registry ignores case
    EXPECT_EQ(store_->ReadString(L"Property", L"DefaultConnect", L""), L"宽带连接");
    EXPECT_EQ(store_->ReadBinary(L"Shutdown", L"Time"), time);
    EXPECT_EQ(ReadShutdownTime(*store_), 0x12345678);
    EXPECT_EQ(ReadDataDirectory(*store_, L"C:\\prog"), L"C:\\data");
    EXPECT_EQ(store_->ReadInt(L"Property", L"StartDate", -1), -1);  // negative ints round-trip
    store_->WriteInt(L"Property", L"StartDate", -7);
    EXPECT_EQ(store_->ReadInt(L"Property", L"StartDate", 0), -7);
}

TEST_F(RegistryStoreTest, AbsentValuesAndSectionsReadAsTheDefault) {
    EXPECT_EQ(store_->ReadInt(L"Property", L"LimitTime", 42), 42);
    EXPECT_EQ(store_->ReadString(L"Nowhere", L"Key", L"fallback"), L"fallback");
    EXPECT_FALSE(store_->ReadBinary(L"Shutdown", L"Time"));
    EXPECT_FALSE(ReadWindowPlacement(*store_, L"Frame"));
}

TEST_F(RegistryStoreTest, ValuesOfTheWrongTypeReadAsTheDefault) {
    PutRaw(L"Property", L"LimitTime", REG_SZ, L"60", 3 * sizeof(wchar_t));
    const ULONGLONG big = 0x100000005ULL;
    PutRaw(L"Property", L"DayLimit", REG_QWORD, &big, sizeof big);
    const BYTE shortDword[2] = {5, 0};
    PutRaw(L"Property", L"StartDate", REG_DWORD, shortDword, sizeof shortDword);
    const DWORD number = 7;
    PutRaw(L"Property", L"DefaultConnect", REG_DWORD, &number, sizeof number);
    const BYTE threeBytes[3] = {1, 2, 3};
    PutRaw(L"Shutdown", L"Time", REG_BINARY, threeBytes, sizeof threeBytes);
    PutRaw(L"Frame", L"Top", REG_SZ, L"", sizeof(wchar_t));
    // A string stored without its terminating NUL, and an odd byte count.
    PutRaw(L"RunProg", L"path", REG_SZ, L"C:\\a.exeXX", 8 * sizeof(wchar_t) + 1);
    const DWORD huge = 0xFFFFFFF0u;
    PutRaw(L"Property", L"DelInterval", REG_DWORD, &huge, sizeof huge);

    EXPECT_EQ(store_->ReadInt(L"Property", L"LimitTime", 0), 0);
    EXPECT_EQ(store_->ReadInt(L"Property", L"DayLimit", 0), 0);
    EXPECT_EQ(store_->ReadInt(L"Property", L"StartDate", 0), 0);
    EXPECT_EQ(store_->ReadString(L"Property", L"DefaultConnect", L"none"), L"none");
    EXPECT_FALSE(ReadShutdownTime(*store_));
    EXPECT_EQ(store_->ReadInt(L"Frame", L"Top", -1), -1);
    EXPECT_EQ(store_->ReadString(L"RunProg", L"path", L""), L"C:\\a.exe");

    // The start-up normalisation repairs all of it with real DWORDs.
    NormalizeSettingsAtStartup(*store_);
    DWORD type = 0;
    std::vector<BYTE> data;
    for (const auto& [key, expected] :
         {std::pair{L"LimitTime", 60}, std::pair{L"DayLimit", 5}, std::pair{L"StartDate", 21},
          std::pair{L"DelInterval", 3}}) {
        ASSERT_TRUE(Raw(L"Property", key, type, data)) << key;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << key;
        EXPECT_EQ(store_->ReadInt(L"Property", key, 0), expected) << key;
    }
}

TEST_F(RegistryStoreTest, FreshInstallationAndPlacementRoundTrip) {
    EXPECT_EQ(NormalizeSettingsAtStartup(*store_), 0);
    EXPECT_EQ(ReadSetting(*store_, settings::kStartRun), 1);
    EXPECT_EQ(ReadSetting(*store_, settings::kDropWindow), 1);
    EXPECT_EQ(ReadSetting(*store_, settings::kHangUp), 0);
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_FALSE(Raw(L"Property", L"AlarmSound", type, data));

    WriteWindowPlacement(*store_, settings::kFrame, {1, 10, 20, 400, 600});
    const auto placement = ReadWindowPlacement(*store_, settings::kFrame);
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->right, 600);
    const std::wstring frame = base_ + L"\\Frame";
    ASSERT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, frame.c_str(), L"Left"), ERROR_SUCCESS);
    EXPECT_FALSE(ReadWindowPlacement(*store_, settings::kFrame));
}

}  // namespace
}  // namespace hourlink
