// The application shell under Wine: the start-with-Windows entry in the real
// registry (machine key, the per-user fallback, deleting from either), the
// Dialog class's modal and modeless life, the About box's colours and texts,
// finding a running copy's main window, and opening the help file.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "res/about_res.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/frame/hourlink_app.h"
#include "shell/platform/program_file.h"
#include "shell/platform/startup_entry.h"
#include "shell/win/dialog.h"
#include "temp_dir.h"

namespace hourlink {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\HourlinkAppTest";

// What the Run value holds: its type, its byte count and its text.
struct RunValue {
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
};

// Stand-ins for HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER: two scratch keys,
// removed with everything under them when the test ends. A root that refuses
// everything is a handle that is no key at all.
class StartupEntryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\HourlinkAppTest\\Machine", 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine_, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\HourlinkAppTest\\User", 0, nullptr,
                                  0, KEY_ALL_ACCESS, nullptr, &user_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(machine_);
        RegCloseKey(user_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    }

    static HKEY Refusing() { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x0FFFFFFC)); }

    StartupEntry Entry(HKEY machine, HKEY user, const std::wstring& programDirectory) {
        StartupEntry entry(programDirectory, {machine, user});
        entry.SetReport([this](const std::wstring& text) { reports_.push_back(text); });
        return entry;
    }

    static std::optional<RunValue> Read(HKEY root) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, StartupEntry::kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        RunValue value;
        wchar_t buffer[512] = {};
        value.bytes = sizeof buffer;
        const LONG rc = RegQueryValueExW(key, StartupEntry::kValueName, nullptr, &value.type,
                                         reinterpret_cast<BYTE*>(buffer), &value.bytes);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS) return std::nullopt;
        value.text = buffer;
        return value;
    }

    static void Write(HKEY root, const wchar_t* text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, StartupEntry::kRunKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, StartupEntry::kValueName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    HKEY machine_ = nullptr;
    HKEY user_ = nullptr;
    std::vector<std::wstring> reports_;
};

TEST_F(StartupEntryTest, SetWritesTheMachineEntryWithItsTerminatingNul) {
    // No Directory setting: the program's own directory, its backslash not doubled.
    EXPECT_EQ(Entry(machine_, user_, L"C:\\Tools\\").Set(nullptr), 1);
    auto value = Read(machine_);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->text, L"C:\\Tools\\Hourlink.exe hide");
    EXPECT_EQ(value->bytes, (value->text.size() + 1) * sizeof(wchar_t));
    EXPECT_FALSE(Read(user_));
    EXPECT_TRUE(reports_.empty());

    // A second Set rewrites the entry, so it follows the program when it moves.
    EXPECT_EQ(Entry(machine_, user_, L"E:\\Hourlink\\").Set(nullptr), 1);
    EXPECT_EQ(Read(machine_)->text, L"E:\\Hourlink\\Hourlink.exe hide");
}

TEST_F(StartupEntryTest, SetFallsBackToTheUserWhenTheMachineKeyRefuses) {
    EXPECT_EQ(Entry(Refusing(), user_, L"C:\\Tools\\").Set(nullptr), 1);
    auto value = Read(user_);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value->text, L"C:\\Tools\\Hourlink.exe hide");
    EXPECT_EQ(value->bytes, (value->text.size() + 1) * sizeof(wchar_t));
    // The user's choice is kept, so there is nothing to report.
    EXPECT_TRUE(reports_.empty());

    // Once the machine entry can be written, the per-user one goes: two entries
    // would start two copies at log-on.
    EXPECT_EQ(Entry(machine_, user_, L"C:\\Tools\\").Set(nullptr), 1);
    EXPECT_TRUE(Read(machine_));
    EXPECT_FALSE(Read(user_));
}

TEST_F(StartupEntryTest, SetReportsOnlyWhenNeitherKeyTakesTheEntry) {
    EXPECT_EQ(Entry(Refusing(), Refusing(), L"C:\\Tools\\").Set(nullptr), 0);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_EQ(reports_[0], L"Failed to set at startup");
}

TEST_F(StartupEntryTest, DeleteRemovesTheEntryFromEitherKey) {
    std::vector<std::wstring> log;
    auto logger = [&log](std::wstring text) { log.push_back(std::move(text)); };

    Write(machine_, L"C:\\Tools\\Hourlink.exe hide");
    EXPECT_EQ(Entry(machine_, user_, L"C:\\Tools\\").Delete(logger), 1);
    EXPECT_FALSE(Read(machine_));

    Write(user_, L"C:\\Tools\\Hourlink.exe hide");
    EXPECT_EQ(Entry(Refusing(), user_, L"C:\\Tools\\").Delete(logger), 1);
    EXPECT_FALSE(Read(user_));

    Write(machine_, L"C:\\Tools\\Hourlink.exe hide");
    Write(user_, L"C:\\Tools\\Hourlink.exe hide");
    EXPECT_EQ(Entry(machine_, user_, L"C:\\Tools\\").Delete(logger), 1);
    EXPECT_FALSE(Read(machine_));
    EXPECT_FALSE(Read(user_));
    EXPECT_TRUE(log.empty());

    // Neither has it (the Run keys exist, the value does not): logged, 0.
    EXPECT_EQ(Entry(machine_, user_, L"C:\\Tools\\").Delete(logger), 0);
    // Neither key can even be opened: the same.
    EXPECT_EQ(Entry(Refusing(), Refusing(), L"C:\\Tools\\").Delete(logger), 0);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], L"Failed to Delete startup\r\n");
    EXPECT_EQ(log[1], L"Failed to Delete startup\r\n");
}

// A dialog on the About box's template that posts commands to itself from
// OnInitDialog and records the ones it sees.
class ScriptedDialog : public win::Dialog {
  public:
    explicit ScriptedDialog(std::vector<UINT> script) : Dialog(IDD_ABOUTBOX), script_(script) {}
    std::vector<WORD> seen;
    bool initialised = false;

  protected:
    bool OnInitDialog() override {
        initialised = true;
        for (UINT message : script_) {
            if (message == WM_KEYDOWN) {
                PostMessageW(Item(IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
            } else {
                PostMessageW(Hwnd(), WM_COMMAND, message, 0);
            }
        }
        return true;
    }
    bool OnCommand(WORD id, WORD code, HWND control) override {
        seen.push_back(id);
        return Dialog::OnCommand(id, code, control);
    }

  private:
    std::vector<UINT> script_;
};

TEST(ProgramFolderTest, AFolderThatCannotBeWrittenIsToldAndTheProbeLeavesNothing) {
    test::TempDir folder(L"hourlink-writable-");
    EXPECT_TRUE(CanWriteIn(folder.path()));
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(folder.File(L"*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);  // the probe is gone
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    EXPECT_FALSE(CanWriteIn(folder.File(L"gone")));
    EXPECT_FALSE(CanWriteIn(L""));
}

TEST(DialogTest, ModalDialogEndsWithOkOrCancel) {
    // Other commands leave it open; the first IDOK ends it.
    ScriptedDialog ok({1234, IDOK, IDCANCEL});
    EXPECT_EQ(ok.DoModal(nullptr), IDOK);
    EXPECT_TRUE(ok.initialised);
    ASSERT_GE(ok.seen.size(), 2u);
    EXPECT_EQ(ok.seen[0], 1234);
    EXPECT_EQ(ok.seen[1], IDOK);
    EXPECT_EQ(ok.Hwnd(), nullptr);

    ScriptedDialog cancel({IDCANCEL});
    EXPECT_EQ(cancel.DoModal(nullptr), IDCANCEL);

    // Esc, through the dialog manager, is IDCANCEL too.
    ScriptedDialog escape({WM_KEYDOWN});
    EXPECT_EQ(escape.DoModal(nullptr), IDCANCEL);
}

TEST(DialogTest, ModelessDialogLivesUntilEnded) {
    ScriptedDialog dialog({});
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    HWND hwnd = dialog.Hwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(win::Window::FromHwnd(hwnd), &dialog);
    EXPECT_FALSE(dialog.CreateModeless(nullptr));  // one window per object

    // The OK button's command, as a click sends it, ends it.
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(dialog.Item(IDOK)));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(dialog.Hwnd(), nullptr);
    ASSERT_FALSE(dialog.seen.empty());
    EXPECT_EQ(dialog.seen.back(), IDOK);
}

// The colour request `msg` about `control`, answered on a scratch DC: the brush
// returned and the text colour and background mode left on the DC.
struct ColourAnswer {
    HBRUSH brush;
    COLORREF text;
    int mode;
};

ColourAnswer AskColour(HWND dialog, UINT msg, HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(dialog, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    ColourAnswer answer{brush, GetTextColor(dc), GetBkMode(dc)};
    DeleteDC(dc);
    return answer;
}

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH lb{};
    if (GetObjectW(brush, sizeof lb, &lb) != sizeof lb || lb.lbStyle != BS_SOLID)
        return CLR_INVALID;
    return lb.lbColor;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

TEST(AboutDialogTest, WhiteTextOnTheProgramsBlue) {
    AboutDialog about;
    ASSERT_TRUE(about.CreateModeless(nullptr));
    HWND hwnd = about.Hwnd();

    const ColourAnswer dialog = AskColour(hwnd, WM_CTLCOLORDLG, hwnd);
    ASSERT_NE(dialog.brush, nullptr);
    EXPECT_EQ(BrushColour(dialog.brush), RGB(60, 120, 204));

    // The two links have colours of their own.
    for (int id : {IDC_ABOUT_VERSION, IDC_ABOUT_STATUS}) {
        const ColourAnswer text = AskColour(hwnd, WM_CTLCOLORSTATIC, about.Item(id));
        EXPECT_EQ(text.brush, dialog.brush) << id;
        EXPECT_EQ(text.text, RGB(255, 255, 255)) << id;
        EXPECT_EQ(text.mode, TRANSPARENT) << id;
    }
    const ColourAnswer button = AskColour(hwnd, WM_CTLCOLORBTN, about.Item(IDOK));
    EXPECT_EQ(button.text, RGB(255, 255, 255));
    EXPECT_EQ(button.mode, TRANSPARENT);

    // The brush goes with the dialog.
    const HBRUSH brush = dialog.brush;
    about.End(IDOK);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(GetObjectType(brush), 0u);
}

TEST(AboutDialogTest, ShowsNameVersionAddressesAndOneButton) {
    AboutDialog about;
    ASSERT_TRUE(about.CreateModeless(nullptr));
    EXPECT_EQ(about.Text(), L"关于 Hourlink");
    EXPECT_EQ(about.ItemText(IDC_ABOUT_VERSION), L"Hourlink v2.21");
    EXPECT_EQ(about.ItemText(IDC_ABOUT_WEB).rfind(L"https://", 0), 0u);
    EXPECT_NE(about.ItemText(IDC_ABOUT_MAIL).find(L'@'), std::wstring::npos);
    EXPECT_FALSE(about.ItemText(IDC_ABOUT_STATUS).empty());
    EXPECT_EQ(about.ItemText(IDOK), L"确定");
    EXPECT_EQ(about.Item(IDCANCEL), nullptr);

    // The program icon, loaded from the program's resources.
    HWND icon = nullptr;
    for (HWND child = GetWindow(about.Hwnd(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
    }
    ASSERT_NE(icon, nullptr);
    EXPECT_NE(SendMessageW(icon, STM_GETICON, 0, 0), 0);
}

// Clicks "确定" in the About box once the modal loop shows it.
void CALLBACK ClickAboutOk(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND about = FindWindowW(L"#32770", L"关于 Hourlink");
    if (!about || !IsWindowVisible(about)) return;
    KillTimer(nullptr, timer);
    SendMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
}

TEST(AboutDialogTest, ShowAboutBoxReturnsWhenOkIsClicked) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, ClickAboutOk);
    ShowAboutBox(nullptr);
    KillTimer(nullptr, timer);
    EXPECT_EQ(FindWindowW(L"#32770", L"关于 Hourlink"), nullptr);
}

TEST(SingleInstanceTest, FindsTheTopLevelWindowCarryingTheMark) {
    const std::wstring mark = L"HourlinkAppTestMark";
    EXPECT_EQ(FindMarkedWindow(mark), nullptr);
    HWND plain = CreateWindowExW(0, L"STATIC", L"plain", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND marked = CreateWindowExW(0, L"STATIC", L"marked", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_TRUE(plain && marked);
    // A hidden window counts: the main window of a copy running in the tray.
    SetPropW(marked, mark.c_str(), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(FindMarkedWindow(mark), marked);
    EXPECT_EQ(FindMarkedWindow(L"HourlinkAppTestOther"), nullptr);
    RemovePropW(marked, mark.c_str());
    EXPECT_EQ(FindMarkedWindow(mark), nullptr);
    DestroyWindow(plain);
    DestroyWindow(marked);
}

// The built help file, as a Windows path (Wine's Z: drive is the Unix root).
std::wstring BuiltHelpFile() {
    std::string unixPath = HOURLINK_HELP_FILE;
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

TEST(HelpTest, OpensTheManualAtItsContents) {
    HWND help = ShowHelpTopics(nullptr, BuiltHelpFile());
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(IsWindowVisible(help));
    // Title and contents are read in the manual's code page: they come out as
    // the Chinese they were written in.
    EXPECT_EQ(WindowText(help), L"Hourlink 帮助");
    struct Found {
        HWND tree = nullptr;
    } found;
    EnumChildWindows(
        help,
        [](HWND child, LPARAM lp) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            if (std::wstring(name) == WC_TREEVIEWW) reinterpret_cast<Found*>(lp)->tree = child;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    ASSERT_NE(found.tree, nullptr);
    std::vector<std::wstring> topics;
    for (auto item = TreeView_GetRoot(found.tree); item;
         item = TreeView_GetNextSibling(found.tree, item)) {
        wchar_t text[128] = {};
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = text;
        tv.cchTextMax = 128;
        TreeView_GetItem(found.tree, &tv);
        topics.push_back(text);
    }
    ASSERT_EQ(topics.size(), 8u);
    EXPECT_EQ(topics.front(), L"概述");
    EXPECT_EQ(topics.back(), L"常见问题");
    DestroyWindow(help);

    // A file that is not there opens nothing.
    EXPECT_EQ(ShowHelpTopics(nullptr, L"Z:\\nonexistent\\Hourlink.chm"), nullptr);
}

}  // namespace
}  // namespace hourlink
