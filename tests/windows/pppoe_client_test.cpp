// The PPPoE client driven for real: a stand-in client program of ours is
// registered under App Paths, started by a dial of a PPPoE entry, and its
// buttons are pressed by the dialer through their windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/net/dialer.h"
#include "core/net/network_info.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fake_dial.h"
#include "shell/platform/win32_dial_platform.h"
#include "shell/platform/win32_network_platform.h"
#include "temp_dir.h"

namespace hourlink {
namespace {

constexpr wchar_t kAppPaths[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\EnterNet.exe";

std::string Pressed(const std::wstring& folder) {
    std::ifstream file(std::filesystem::path(folder + L"\\pressed.log"));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Until `done` holds, at most ten seconds.
template <class Condition>
bool Eventually(Condition done) {
    for (int i = 0; i < 200; ++i) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

TEST(PppoeClient, ADialStartsTheClientAndAHangUpPressesItsButtons) {
    test::TempDir folder(L"hourlink-enternet-");
    ASSERT_TRUE(CopyFileW(HOURLINK_FAKE_CLIENT, folder.File(L"EnterNet.exe").c_str(), FALSE));
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kAppPaths, L"Path", REG_SZ, folder.path().c_str(),
                              static_cast<DWORD>((folder.path().size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    Win32NetworkPlatform network;
    Win32DialPlatform dialling;
    SilentNotifier notifier;
    NetworkInfo info(network, notifier, SystemClock::Instance());
    MemorySettingsStore settings;
    WriteSetting(settings, settings::kDefaultConnect, L"宽带 PPPoE");
    test::RecordingDialHost host;
    DialTiming timing;
    {
        Dialer dialer(dialling, info, settings, host, timing);
        dialer.ConnectCommand({});
        // "Connect..." is passed over; "连接" connects.
        ASSERT_TRUE(Eventually([&] { return info.FindPppoeClientWindow(); }))
            << Pressed(folder.path());
        EXPECT_EQ(Pressed(folder.path()), "连接\n");

        dialer.HangUp(L"NTS PPPOE ADAPTER");
        ASSERT_TRUE(Eventually([&] {
            return Pressed(folder.path()) == "连接\nDisconnect\n退出\n";
        })) << Pressed(folder.path());
        EXPECT_TRUE(host.Lines().empty());
    }
    EXPECT_TRUE(Eventually([&] { return !info.FindPppoeClientWindow(); }));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kAppPaths);
    Sleep(500);  // the client has ended and let go of its folder
}

}  // namespace
}  // namespace hourlink
