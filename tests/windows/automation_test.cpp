// The options dialogs and the automation under Wine, driven as a user would:
// the options dialog's refusals, restore defaults and the advanced dialog; the
// shutdown dialog through its countdown to the system's shutdown (replaced by
// a recorder); the schedule dialog's time check; the programs after
// connecting started from a folder with blanks. Screenshots of each dialog go
// to build/screenshots.
#include <windows.h>
// After <windows.h>:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/accounting/data_allowance.h"
#include "core/automation/program_list.h"
#include "core/base/clock.h"
#include "core/settings/settings.h"
#include "dialog_script.h"
#include "res/automation_res.h"
#include "res/limits_res.h"
#include "res/options_res.h"
#include "screenshot.h"
#include "shell/dialogs/options_dialog.h"
#include "shell/dialogs/run_programs_dialog.h"
#include "shell/frame/frame_automation.h"
#include "shell/platform/registry_settings_store.h"
#include "shell/platform/system_shutdown.h"
#include "shell/platform/win32_program_launcher.h"
#include "temp_dir.h"

namespace hourlink {
namespace {

using test::FindDialog;
using test::Press;

constexpr wchar_t kTestKey[] = L"Software\\HourlinkAutomationTest";

std::wstring Text(HWND dialog, int id) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

// A step that paints the window afresh, gives the window system a few ticks
// to put it on the screen, and saves what the screen shows.
std::function<bool()> Shoot(std::function<HWND()> window, std::string name, int settle = 6) {
    return [window, name, settle, ticks = 0]() mutable {
        HWND hwnd = window();
        if (!hwnd) return false;
        if (ticks++ == 0) {
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        }
        if (ticks < settle) return false;
        EXPECT_TRUE(test::SavePng(test::CaptureWindow(hwnd), test::ScreenshotPath(name)));
        return true;
    };
}

// A message box of ours: a dialog captioned "Hourlink" with the box's text.
HWND MessageBoxShown() {
    HWND box = FindDialog(L"Hourlink");
    return box && GetDlgItem(box, 0xFFFF) ? box : nullptr;
}

// Runs the steps one after another from inside whatever modal loop runs; a
// step returns false to be called again 50 ms later.
class Steps {
  public:
    explicit Steps(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {}
    bool Finished() const { return next_ == steps_.size(); }

  private:
    std::vector<std::function<bool()>> steps_;
    std::size_t next_ = 0;
    test::Script script_{[this] {
        if (next_ < steps_.size() && steps_[next_]()) ++next_;
        return next_ < steps_.size();
    }};
};

// Answers the message box that must be showing `text`.
std::function<bool()> Answer(std::wstring text) {
    return [text] {
        HWND box = MessageBoxShown();
        if (!box) return false;
        EXPECT_EQ(Text(box, 0xFFFF), text);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return true;
    };
}

class AutomationTest : public testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        SetExitWindowsForTesting({});
    }
    bool Has(const wchar_t* section, const wchar_t* key) {
        return settings.ReadInt(section, key, -12345) != -12345;
    }

    RegistrySettingsStore settings{HKEY_CURRENT_USER, kTestKey};
};

// ---- the options dialogs ----

TEST_F(AutomationTest, OptionsRefuseAStartDayOf31AndWriteNothing) {
    NormalizeSettingsAtStartup(settings);
    settings.WriteInt(L"Property", L"LimitTime", 100);
    OptionsDialog dialog(settings, SystemClock::Instance(), {});
    HWND hwnd = nullptr;
    Steps steps({
        [&] {
            if (!(hwnd = dialog.Hwnd())) return false;
            EXPECT_EQ(Text(hwnd, IDC_OPT_START_DATE), L"21");
            return true;
        },
        Shoot([&] { return hwnd; }, "options_dialog"),
        [&] {
            SetDlgItemTextW(hwnd, IDC_OPT_START_DATE, L"31");
            Press(hwnd, IDOK);
            return true;
        },
        Answer(L"“请填入一个在1和30之间的整数。”"),
        [&] {
            if (MessageBoxShown()) return false;
            EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, IDC_OPT_START_DATE));
            EXPECT_EQ(settings.ReadInt(L"Property", L"StartDate", 0), 21);
            EXPECT_EQ(settings.ReadInt(L"Property", L"LimitTime", 0), 100);
            EXPECT_FALSE(Has(L"Property", L"StartMonth"));
            Press(hwnd, IDCANCEL);
            return true;
        },
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
    EXPECT_TRUE(steps.Finished());
}

TEST_F(AutomationTest, OptionsTakeTheDataAllowanceInGigabytesToTheMegabyte) {
    NormalizeSettingsAtStartup(settings);
    settings.WriteInt(L"Property", L"DataLimit", 2);  // set by hand: 2 MB
    OptionsDialog dialog(settings, SystemClock::Instance(), {});
    HWND hwnd = nullptr;
    Steps steps({
        [&] {
            if (!(hwnd = dialog.Hwnd())) return false;
            // Shown whole, so a confirmed dialog keeps it.
            EXPECT_EQ(Text(hwnd, IDC_OPT_DATA_LIMIT), L"0.002");
            EXPECT_EQ(Text(hwnd, IDC_OPT_WARN_SHARE), L"80");
            SetDlgItemTextW(hwnd, IDC_OPT_DATA_LIMIT, L"10000.5");
            Press(hwnd, IDOK);
            return true;
        },
        Answer(GigabytesRangeMessage()),
        [&] {
            if (MessageBoxShown()) return false;
            EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, IDC_OPT_DATA_LIMIT));
            EXPECT_EQ(settings.ReadInt(L"Property", L"DataLimit", 0), 2);
            SetDlgItemTextW(hwnd, IDC_OPT_DATA_LIMIT, L" 1.5 ");
            Press(hwnd, IDOK);
            return true;
        },
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_TRUE(steps.Finished());
    EXPECT_EQ(settings.ReadInt(L"Property", L"DataLimit", 0), 1500);
}

TEST_F(AutomationTest, DefaultsAndTheAdvancedOptionsAreWrittenWhateverFollows) {
    settings.WriteInt(L"Property", L"LimitTime", 100);
    settings.WriteInt(L"Property", L"Adjust", 7);
    int restored = 0;
    int rechecks = 0;
    OptionsDialog dialog(settings, SystemClock::Instance(),
                         {[&] { ++rechecks; }, [&] { ++restored; }});
    HWND hwnd = nullptr;
    HWND advanced = nullptr;
    Steps steps({
        [&] {
            if (!(hwnd = dialog.Hwnd())) return false;
            Press(hwnd, IDC_OPT_RESTORE_DEFAULTS);
            return true;
        },
        [&] {
            if (Text(hwnd, IDC_OPT_LIMIT_TIME) != L"60") return false;
            EXPECT_EQ(settings.ReadInt(L"Property", L"LimitTime", 0), 60);
            EXPECT_EQ(settings.ReadInt(L"Property", L"Adjust", -1), 0);
            EXPECT_EQ(restored, 1);
            SetDlgItemTextW(hwnd, IDC_OPT_DAY_LIMIT, L"9");
            Press(hwnd, IDC_OPT_ADVANCED);
            return true;
        },
        [&] {
            if (!(advanced = FindDialog(L"拨号高级选项"))) return false;
            EXPECT_EQ(Text(advanced, IDC_ADV_WAIT), L"5");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(advanced, IDC_ADV_IDLE)));
            return true;
        },
        Shoot([&] { return advanced; }, "advanced_dial_options"),
        [&] {
            SetDlgItemTextW(advanced, IDC_ADV_COUNT, L"100");  // the spin goes to 200
            Press(advanced, IDOK);
            return true;
        },
        Answer(L"“请填入一个在1和99之间的整数。”"),
        [&] {
            if (MessageBoxShown()) return false;
            SetDlgItemTextW(advanced, IDC_ADV_COUNT, L"3");
            Press(advanced, IDOK);
            return true;
        },
        [&] {
            if (FindDialog(L"拨号高级选项")) return false;
            EXPECT_EQ(settings.ReadInt(L"Advance", L"count", 0), 3);
            EXPECT_EQ(rechecks, 1);
            EXPECT_EQ(Text(hwnd, IDC_OPT_DAY_LIMIT), L"9");  // what was typed stays
            Press(hwnd, IDCANCEL);
            return true;
        },
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
    EXPECT_TRUE(steps.Finished());
    EXPECT_EQ(settings.ReadInt(L"Property", L"LimitTime", 0), 60);
    EXPECT_EQ(settings.ReadInt(L"Advance", L"count", 0), 3);
    EXPECT_EQ(settings.ReadInt(L"Property", L"DayLimit", 0), 5);  // the default, not 9
}

TEST_F(AutomationTest, OptionsLabelsStandBesideTheirFields) {
    OptionsDialog dialog(settings, SystemClock::Instance(), {});
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    // Each label's place in the dialog's order: `steps` windows before (< 0)
    // or after the control.
    const struct {
        int control;
        int steps;
        const wchar_t* label;
    } kLabels[] = {
        {IDC_OPT_START_DATE, -1, L"每月开始计时的日期:"},
        {IDC_OPT_DEL_INTERVAL, -1, L"删除 "},
        {IDC_OPT_DEL_INTERVAL_SPIN, 1, L"月以前的纪录"},
        {IDC_OPT_LIMIT_TIME, -1, L"每月上网时限:"},
        {IDC_OPT_LIMIT_TIME_SPIN, 1, L"小时"},
        {IDC_OPT_DAY_LIMIT, -1, L"每日上网时限:"},
        {IDC_OPT_DAY_LIMIT_SPIN, 1, L"小时"},
        {IDC_OPT_DATA_LIMIT, -1, L"每月流量限额:"},
        {IDC_OPT_DATA_LIMIT, 1, L"GB，为零不限"},
        {IDC_OPT_WARN_SHARE, -1, L"用量提醒:"},
        {IDC_OPT_WARN_SHARE_SPIN, 1, L"%，为零不提醒"},
        {IDC_OPT_ADJUST_SPIN, 1, L"小时"},
        {IDC_OPT_ADJUST_SPIN, 2, L"为零,不改变"},
    };
    for (const auto& l : kLabels) {
        HWND label = dialog.Item(l.control);
        for (int i = 0; i < std::abs(l.steps) && label; ++i) {
            label = GetWindow(label, l.steps < 0 ? GW_HWNDPREV : GW_HWNDNEXT);
        }
        wchar_t text[64] = {};
        GetWindowTextW(label, text, 64);
        EXPECT_EQ(std::wstring(text), l.label) << l.control << " " << l.steps;
    }
}

// ---- the shutdown ----

class ShutdownFlowTest : public AutomationTest {
  protected:
    void SetUp() override {
        AutomationTest::SetUp();
        SetExitWindowsForTesting([this](unsigned flags) {
            shutdowns.push_back(flags);
            return std::uint32_t{0};
        });
        frame = CreateWindowW(L"STATIC", L"frame", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr);
        AutomationLinks links;
        links.showStatus = [this](std::wstring_view t) { status = t; };
        automation =
            std::make_unique<FrameAutomation>(frame, settings, SystemClock::Instance(), links);
        automation->SetCountdownForTesting(2);
    }
    void TearDown() override {
        automation.reset();
        DestroyWindow(frame);
        AutomationTest::TearDown();
    }

    // The shutdown dialog with "0 小时以后，自动关机" confirmed, and then
    // `countdown` done to the countdown that follows at once.
    bool ConfirmNowAnd(std::function<bool(HWND)> countdown) {
        HWND hwnd = nullptr;
        Steps steps({
            [&] { return (hwnd = FindDialog(L"关机设置")) != nullptr; },
            Shoot([&] { return hwnd; }, "shutdown_settings"),
            [&] {
                CheckRadioButton(hwnd, IDC_SHUT_AFTER_HOURS, IDC_SHUT_AT_TIME,
                                 IDC_SHUT_AFTER_HOURS);
                SetDlgItemTextW(hwnd, IDC_SHUT_HOURS, L"1000000");  // past 2037
                Press(hwnd, IDOK);
                return true;
            },
            [&] {
                HWND box = MessageBoxShown();
                if (!box) return false;
                EXPECT_TRUE(Text(box, 0xFFFF).starts_with(L"“请填入一个在0和"))
                    << Text(box, 0xFFFF);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return true;
            },
            [&] {
                if (MessageBoxShown()) return false;
                SetDlgItemTextW(hwnd, IDC_SHUT_HOURS, L"0");
                Press(hwnd, IDOK);
                return true;
            },
            [&] {
                HWND box = FindDialog(L"Hourlink");
                return box && GetDlgItem(box, IDC_COUNTDOWN_PROGRESS) && countdown(box);
            },
        });
        automation->ShutdownCommand();
        return steps.Finished();
    }

    HWND frame = nullptr;
    std::unique_ptr<FrameAutomation> automation;
    std::vector<unsigned> shutdowns;
    std::wstring status = L"unchanged";
};

TEST_F(ShutdownFlowTest, TheCountdownEndsInAShutdownThatForcesOnlyHungPrograms) {
    // After the first of its three seconds.
    automation->SetCountdownForTesting(3);
    auto shoot = Shoot([] { return FindDialog(L"Hourlink"); }, "shutdown_countdown", 26);
    EXPECT_TRUE(ConfirmNowAnd([&](HWND) { return shoot(); }));
    // EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCEIFHUNG: programs are asked first.
    EXPECT_EQ(shutdowns, std::vector<unsigned>{0x1 | 0x8 | 0x10});
    EXPECT_EQ(settings.ReadInt(L"Shutdown", L"RadioEscap", -1), 0);
    EXPECT_EQ(settings.ReadBinary(L"Shutdown", L"Time")->size(), 4u);
}

TEST_F(ShutdownFlowTest, CancellingTheCountdownShutsNothingDownAndLeavesNoPlan) {
    EXPECT_TRUE(ConfirmNowAnd([](HWND countdown) {
        Press(countdown, IDCANCEL);
        return true;
    }));
    EXPECT_TRUE(shutdowns.empty());
    EXPECT_FALSE(automation->Shutdown().OneOffPending());
    EXPECT_EQ(status, L"");
}

// ---- the schedule dialog ----

TEST_F(ShutdownFlowTest, TheScheduleDialogRefusesABadTimeAndSavesNormalisedTimes) {
    AutomationLinks links;
    links.entryNames = [] { return std::vector<std::wstring>{L"宽带连接", L"ADSL"}; };
    FrameAutomation withEntries(frame, settings, SystemClock::Instance(), links);
    settings.WriteString(L"AutoConnent", L"EntryName", L"ADSL");
    HWND hwnd = nullptr;
    Steps steps({
        [&] {
            if (!(hwnd = FindDialog(L"自动连接与挂断"))) return false;
            EXPECT_EQ(Text(hwnd, IDC_SCHED_ENTRY), L"ADSL");
            EXPECT_EQ(SendDlgItemMessageW(hwnd, IDC_SCHED_STOP4, CB_GETCOUNT, 0, 0), 48);
            CheckDlgButton(hwnd, IDC_SCHED_MONDAY, BST_CHECKED);
            SetDlgItemTextW(hwnd, IDC_SCHED_START1, L"07:30");
            SetDlgItemTextW(hwnd, IDC_SCHED_STOP1, L"24:00");
            return true;
        },
        Shoot([&] { return hwnd; }, "schedule_dialog"),
        [&] {
            Press(hwnd, IDOK);
            return true;
        },
        Answer(L"无效的时间格式. 格式为00:00"),
        [&] {
            if (MessageBoxShown()) return false;
            EXPECT_EQ(GetFocus(),
                      FindWindowExW(GetDlgItem(hwnd, IDC_SCHED_STOP1), nullptr, L"Edit", nullptr));
            EXPECT_FALSE(Has(L"AutoConnent", L"week1"));
            SetDlgItemTextW(hwnd, IDC_SCHED_STOP1, L"8:00");
            Press(hwnd, IDOK);
            return true;
        },
    });
    withEntries.ScheduleCommand();
    EXPECT_TRUE(steps.Finished());
    EXPECT_EQ(settings.ReadInt(L"AutoConnent", L"week1", 0), 1);
    EXPECT_EQ(settings.ReadString(L"AutoConnent", L"start1", L""), L"7:30");
    EXPECT_EQ(settings.ReadString(L"AutoConnent", L"stop1", L""), L"8:00");
}

// ---- programs after connecting ----

std::wstring ReadUtf16(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    return text;
}

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 200 && !condition(); ++i) Sleep(50);
    return condition();
}

TEST_F(AutomationTest, ProgramsInAFolderWithBlanksStartQuotedAndCloseOnRequest) {
    test::TempDir dir(L"hourlink programs ");
    const std::wstring program = dir.File(L"recorder.exe");
    const std::string source = std::string("Z:") + HOURLINK_RECORDER;
    ASSERT_TRUE(
        CopyFileW(std::wstring(source.begin(), source.end()).c_str(), program.c_str(), FALSE));
    const std::wstring missing = dir.File(L"missing.exe");

    // Listed through the dialog: a path with a comma is refused.
    RunProgramsDialog dialog(settings, [&, n = 0](HWND) mutable -> std::optional<std::wstring> {
        const wchar_t* picks[] = {L"C:\\a,b.exe", L"C:\\other.exe"};
        return n < 2 ? std::optional<std::wstring>(picks[n++]) : program;
    });
    settings.WriteString(L"RunProg", L"path", missing);
    Steps steps({
        [&] {
            if (!dialog.Hwnd()) return false;
            Press(dialog.Hwnd(), IDC_RUN_ADD);
            return true;
        },
        Answer(std::wstring(kCommaInProgramPath) + L"C:\\a,b.exe"),
        [&] {
            if (MessageBoxShown()) return false;
            Press(dialog.Hwnd(), IDC_RUN_ADD);
            Press(dialog.Hwnd(), IDC_RUN_ADD);
            return true;
        },
        [&] {
            if (dialog.Rows().size() < 3) return false;
            ListView_SetItemState(GetDlgItem(dialog.Hwnd(), IDC_RUN_LIST), 1, LVIS_SELECTED,
                                  LVIS_SELECTED);
            Press(dialog.Hwnd(), IDC_RUN_DELETE);
            CheckDlgButton(dialog.Hwnd(), IDC_RUN_END_AT_DISCONNECT, BST_CHECKED);
            Press(dialog.Hwnd(), IDC_RUN_END_AT_DISCONNECT);
            return true;
        },
        [&] { return dialog.Rows().size() == 2; },
        Shoot([&] { return dialog.Hwnd(); }, "run_programs"),
        [&] {
            Press(dialog.Hwnd(), IDCANCEL);
            return true;
        },
    });
    dialog.DoModal(nullptr);
    ASSERT_TRUE(steps.Finished());
    EXPECT_EQ(settings.ReadString(L"RunProg", L"path", L""), missing + L"," + program);

    // The watcher's part at a connect and at the disconnect.
    Win32ProgramLauncher launcher;
    std::vector<std::wstring> reports;
    ProgramStarter starter(settings, launcher, [&](std::wstring t) { reports.push_back(t); });
    starter.StartPrograms();
    const std::wstring recorded = dir.File(L"command_line.txt");
    ASSERT_TRUE(WaitFor([&] { return !ReadUtf16(recorded).empty(); }));
    EXPECT_EQ(ReadUtf16(recorded), L"\"" + program + L"\"");
    EXPECT_EQ(reports, std::vector<std::wstring>{L"执行程序失败. Error Code:2"});
    ASSERT_TRUE(WaitFor([] { return FindWindowW(L"HourlinkCommandLineRecorder", nullptr); }));
    starter.EndPrograms();
    EXPECT_TRUE(WaitFor([&] { return ReadUtf16(recorded).ends_with(L"|closed"); }));
    Sleep(300);  // the recorder lets go of its file and ends
}

}  // namespace
}  // namespace hourlink
