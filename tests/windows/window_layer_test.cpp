// The thin window layer under Wine: object lookup, the message table, reflection
// of child notifications, subclassing, the message loop, text conversions, and
// the empty main frame. Windows are created in-process and driven with messages.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "res/resource.h"
#include "shell/frame/main_frame.h"
#include "shell/win/message_loop.h"
#include "shell/win/text.h"
#include "shell/win/window.h"

namespace hourlink::win {
namespace {

constexpr UINT WM_TEST_PING = WM_APP + 1;

// A top-level test window that records what its table saw.
class TestWindow : public Window {
  public:
    bool Create(const wchar_t* title = L"test", bool failCreate = false) {
        failCreate_ = failCreate;
        WindowClass wc;
        wc.name = L"Hourlink.TestWindow";
        CreateArgs args;
        args.title = title;
        return Window::Create(wc, args);
    }
    std::vector<UINT> commands;
    std::vector<UINT> notifications;
    int pings = 0;
    int finalMessages = 0;

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_CREATE:
                return failCreate_ ? -1 : 0;
            case WM_TEST_PING:
                ++pings;
                return 42;
            case WM_COMMAND:
                commands.push_back(LOWORD(wp));
                return 0;
            case WM_NOTIFY:
                notifications.push_back(reinterpret_cast<const NMHDR*>(lp)->code);
                return 0;
        }
        return Window::WndProc(msg, wp, lp);
    }
    void OnFinalMessage() override { ++finalMessages; }

  private:
    bool failCreate_ = false;
};

// A control of the parent, attached: takes its own clicks and colours.
class TestButton : public Window {
  public:
    bool takeClicks = true;
    int clicks = 0;
    int notifies = 0;
    int textChanges = 0;
    HBRUSH brush = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));

  protected:
    bool OnReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) override {
        if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED && takeClicks) {
            ++clicks;
            return true;
        }
        if (msg == WM_NOTIFY) {
            ++notifies;
            result = 7;
            return true;
        }
        if (msg == WM_CTLCOLORBTN) {
            result = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        return false;
    }
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_SETTEXT) ++textChanges;
        return Window::WndProc(msg, wp, lp);
    }
};

HWND MakeButton(HWND parent, int id) {
    return CreateWindowExW(0, L"BUTTON", L"button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 80,
                           24, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

TEST(Window, CreatedWindowIsFoundAndDestroyedWithItsObject) {
    HWND hwnd = nullptr;
    {
        TestWindow window;
        ASSERT_TRUE(window.Create(L"标题 title"));
        hwnd = window.Hwnd();
        EXPECT_EQ(Window::FromHwnd(hwnd), &window);
        EXPECT_EQ(window.Text(), L"标题 title");
        window.SetText(L"新");
        EXPECT_EQ(window.Text(), L"新");
        EXPECT_EQ(SendMessageW(hwnd, WM_TEST_PING, 0, 0), 42);
        EXPECT_EQ(window.pings, 1);
    }
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Window, CreateFailsWhenWmCreateRefuses) {
    TestWindow window;
    EXPECT_FALSE(window.Create(L"x", /*failCreate=*/true));
    EXPECT_EQ(window.Hwnd(), nullptr);
    EXPECT_EQ(window.finalMessages, 1);
}

TEST(Window, WindowDestroyedFromOutsideLeavesTheObjectEmpty) {
    TestWindow window;
    ASSERT_TRUE(window.Create());
    HWND hwnd = window.Hwnd();
    DestroyWindow(hwnd);
    EXPECT_EQ(window.Hwnd(), nullptr);
    EXPECT_EQ(window.finalMessages, 1);
    EXPECT_EQ(Window::FromHwnd(hwnd), nullptr);
    window.Destroy();  // nothing left to destroy
    EXPECT_EQ(window.finalMessages, 1);
}

TEST(Window, ChildNotificationsAreReflectedToTheChildObjectFirst) {
    TestWindow parent;
    ASSERT_TRUE(parent.Create());
    HWND buttonHwnd = MakeButton(parent.Hwnd(), 1001);
    ASSERT_NE(buttonHwnd, nullptr);
    TestButton button;
    ASSERT_TRUE(button.Attach(buttonHwnd));

    // A click the child takes never reaches the parent's table.
    SendMessageW(parent.Hwnd(), WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED),
                 reinterpret_cast<LPARAM>(buttonHwnd));
    EXPECT_EQ(button.clicks, 1);
    EXPECT_TRUE(parent.commands.empty());

    // One it declines does.
    button.takeClicks = false;
    SendMessageW(parent.Hwnd(), WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED),
                 reinterpret_cast<LPARAM>(buttonHwnd));
    EXPECT_EQ(button.clicks, 1);
    EXPECT_EQ(parent.commands, std::vector<UINT>{1001});

    // WM_NOTIFY by its sender, with the child's result.
    NMHDR header{buttonHwnd, 1001, NM_CLICK};
    EXPECT_EQ(SendMessageW(parent.Hwnd(), WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&header)), 7);
    EXPECT_EQ(button.notifies, 1);
    EXPECT_TRUE(parent.notifications.empty());

    // Colours come from the child object.
    HDC dc = GetDC(buttonHwnd);
    EXPECT_EQ(SendMessageW(parent.Hwnd(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(buttonHwnd)),
              reinterpret_cast<LRESULT>(button.brush));
    ReleaseDC(buttonHwnd, dc);

    // Menu commands (no control) go to the parent's table.
    SendMessageW(parent.Hwnd(), WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 0), 0);
    EXPECT_EQ(parent.commands.back(), static_cast<UINT>(ID_APP_EXIT));
}

TEST(Window, AttachSubclassesAControlUntilDetached) {
    TestWindow parent;
    ASSERT_TRUE(parent.Create());
    HWND buttonHwnd = MakeButton(parent.Hwnd(), 1002);
    TestButton button;
    ASSERT_TRUE(button.Attach(buttonHwnd));
    TestButton second;
    EXPECT_FALSE(second.Attach(buttonHwnd)) << "a window has one object";

    SetWindowTextW(buttonHwnd, L"拨号(&D)");
    EXPECT_EQ(button.textChanges, 1);
    EXPECT_EQ(button.Text(), L"拨号(&D)") << "the control's own procedure still runs";

    button.Detach();
    EXPECT_EQ(button.Hwnd(), nullptr);
    EXPECT_EQ(Window::FromHwnd(buttonHwnd), nullptr);
    EXPECT_TRUE(IsWindow(buttonHwnd)) << "detaching leaves the control alive";
    SetWindowTextW(buttonHwnd, L"x");
    EXPECT_EQ(button.textChanges, 1);

    // An attached control that dies with its parent lets go of its object.
    ASSERT_TRUE(second.Attach(buttonHwnd));
    parent.Destroy();
    EXPECT_EQ(second.Hwnd(), nullptr);
}

TEST(MessageLoop, RunReturnsTheQuitCode) {
    PostQuitMessage(3);
    MessageLoop loop;
    EXPECT_EQ(loop.Run(), 3);
}

TEST(MessageLoop, RunPendingDispatchesQueuedMessagesAndStopsAtQuit) {
    TestWindow window;
    ASSERT_TRUE(window.Create());
    MessageLoop loop;
    loop.RunPending();
    PostMessageW(window.Hwnd(), WM_TEST_PING, 0, 0);
    PostMessageW(window.Hwnd(), WM_TEST_PING, 0, 0);
    EXPECT_TRUE(loop.RunPending());
    EXPECT_EQ(window.pings, 2);

    PostQuitMessage(5);
    EXPECT_FALSE(loop.RunPending());
    EXPECT_EQ(loop.Run(), 5) << "the quit is kept for the outer loop";
}

TEST(MessageLoop, AcceleratorsBecomeCommandsOfTheirWindow) {
    TestWindow window;
    ASSERT_TRUE(window.Create());
    ACCEL accel{FVIRTKEY, VK_F5, 32772};
    HACCEL table = CreateAcceleratorTableW(&accel, 1);
    MessageLoop loop;
    loop.SetAccelerators(window.Hwnd(), table);
    PostMessageW(window.Hwnd(), WM_KEYDOWN, VK_F5, 0);
    loop.RunPending();
    EXPECT_EQ(window.commands, std::vector<UINT>{32772});
    DestroyAcceleratorTable(table);
}

TEST(Text, GbkAndUtf8RoundTrip) {
    const std::string gbk = "\xC9\xCF\xCD\xF8";  // 上网
    EXPECT_EQ(GbkToWide(gbk), L"上网");
    EXPECT_EQ(WideToGbk(L"上网 ADSL"), gbk + " ADSL");
    EXPECT_EQ(WideToUtf8(L"连接"), "\xE8\xBF\x9E\xE6\x8E\xA5");
    EXPECT_EQ(Utf8ToWide("\xE8\xBF\x9E\xE6\x8E\xA5"), L"连接");
    EXPECT_EQ(WideToGbk(L"€"), "\x80") << "GBK has the euro sign";
    EXPECT_EQ(WideToGbk(L"\u0E01"), "?") << "what GBK lacks (Thai) becomes a question mark";
    EXPECT_EQ(GbkToWide(""), L"");
}

TEST(Text, FieldsOfATemplateString) {
    const std::wstring s = L"Hourlink\n\nHourlink Doc\n";
    EXPECT_EQ(Field(s, 0), L"Hourlink");
    EXPECT_EQ(Field(s, 1), L"");
    EXPECT_EQ(Field(s, 2), L"Hourlink Doc");
    EXPECT_EQ(Field(s, 3), L"");
    EXPECT_EQ(Field(s, 9), L"");
    EXPECT_EQ(Field(L"开始时间, 结束时间,上网用时", 1, L','), L" 结束时间");
}

TEST(Text, ResourceStrings) {
    EXPECT_EQ(LoadResourceString(IDS_APP_TITLE), L"Hourlink");
    EXPECT_EQ(LoadResourceString(65000), L"") << "an absent string is empty";
}

TEST(MainFrame, EmptyFrameIsTitledHourlinkAndEndsTheLoopWhenClosed) {
    MemorySettingsStore settings;
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(settings));
    EXPECT_EQ(frame.Text(), L"Hourlink");
    EXPECT_FALSE(frame.IsVisible()) << "shown only by the start-up code";
    EXPECT_NE(GetClassLongPtrW(frame.Hwnd(), GCLP_HICON), 0) << "the program icon";
    EXPECT_NE(GetClassLongPtrW(frame.Hwnd(), GCLP_HICONSM), 0);

    SendMessageW(frame.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(frame.Hwnd(), nullptr);
    MessageLoop loop;
    EXPECT_EQ(loop.Run(), 0) << "destroying the frame quits the message loop";
}

TEST(MainFrame, CreationWritesTheDefaultsOfMissingSettings) {
    MemorySettingsStore settings;
    settings.WriteInt(L"Property", L"LimitTime", 100);
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(settings));
    EXPECT_EQ(ReadSetting(settings, settings::kStartDate), 21);
    EXPECT_EQ(ReadSetting(settings, settings::kLimitTime), 100) << "a set value stays";
    frame.Destroy();
    MessageLoop().RunPending();  // the frame's quit message
}

}  // namespace
}  // namespace hourlink::win
