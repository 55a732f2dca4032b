// The owner-drawn button, the About box's link labels and the markup tooltip
// under Wine, on the options dialog that uses them: the buttons and tips the
// dialog attaches, the button's pixels normal, hovered, pressed and disabled,
// the default button following the focus, the links' colours, opening and
// error box, the tip's place and region at the screen's edge, its show and
// hide rules, and a GDI count that stays flat over a thousand tips.
// Screenshots go to build/screenshots/widgets_*.png.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/base/clock.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "res/about_res.h"
#include "res/options_res.h"
#include "res/resource.h"
#include "screenshot.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/dialog_tips.h"
#include "shell/dialogs/options_dialog.h"
#include "shell/widgets/gdi_handles.h"
#include "shell/widgets/link_label.h"
#include "shell/widgets/pp_tooltip.h"
#include "shell/widgets/xp_button.h"
#include "shell/win/dialog.h"
#include "shell/win/message_loop.h"
#include "shell/win/shell_open.h"

namespace hourlink::widgets {
namespace {

// An edit box of the options dialog, to move the mouse off every button.
constexpr int kEdit = IDC_OPT_LIMIT_TIME;
constexpr int kAdvanced = IDC_OPT_ADVANCED;
constexpr int kDefaults = IDC_OPT_RESTORE_DEFAULTS;

// Runs the message loop until `done` or `ms` milliseconds; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) {
        win::MessageLoop().RunPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

RECT ScreenRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

POINT Centre(HWND hwnd) {
    const RECT r = ScreenRect(hwnd);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The mouse moved to `p` over `hwnd`, as the user would.
void MoveMouse(HWND hwnd, POINT p) {
    SetCursorPos(p.x, p.y);
    POINT client = p;
    ScreenToClient(hwnd, &client);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

// Moves the mouse onto `hwnd` until `arrived`, moving it again while it waits,
// as a hand on a mouse does: on a loaded machine a move can reach the button
// before the cursor is over it, and is answered at once by a leave.
bool MoveMouseUntil(HWND hwnd, POINT p, const std::function<bool()>& arrived, int ms) {
    return PumpUntil(
        [&] {
            if (arrived()) return true;
            MoveMouse(hwnd, p);
            return false;
        },
        ms);
}

// The options dialog, with its commands recorded instead of run and its
// tooltip's display notifications recorded (or the text emptied).
class TestDialog : public OptionsDialog {
  public:
    explicit TestDialog(SettingsStore& settings)
        : OptionsDialog(settings, SystemClock::Instance(), {}) {}
    std::vector<WORD> commands;
    std::vector<PPToolInfo> notified;
    bool clearText = false;

  protected:
    bool OnCommand(WORD id, WORD, HWND) override {
        commands.push_back(id);
        return true;
    }
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lp)->code == kPPTooltipDisplay) {
            auto* display = reinterpret_cast<NMPPTooltipDisplay*>(lp);
            notified.push_back(*display->info);
            if (clearText) display->info->text.clear();
            return SetResult(0);
        }
        return OptionsDialog::WndProc(msg, wp, lp);
    }
};

CXPButton* ButtonOf(HWND hwnd) {
    return dynamic_cast<CXPButton*>(win::Window::FromHwnd(hwnd));
}

// The options dialog on screen with its buttons and tooltip as it sets them up.
class WidgetsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NormalizeSettingsAtStartup(settings);  // the values a first start shows
        ASSERT_TRUE(dialog.CreateModeless(nullptr));
        SetWindowPos(dialog.Hwnd(), HWND_TOP, 200, 150, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        for (int id : {IDOK, IDCANCEL, kAdvanced, kDefaults}) {
            ASSERT_NE(ButtonOf(dialog.Item(id)), nullptr) << id;
        }
        Pump(50);
    }
    void TearDown() override { SetCursorPos(5, 5); }

    CXPButton& Button(int id) { return *ButtonOf(dialog.Item(id)); }

    MemorySettingsStore settings;
    TestDialog dialog{settings};
    CPPTooltip& tip = dialog.Tip();
};

// A button drawn through its parent's WM_DRAWITEM into a 32-bit memory bitmap.
struct Drawing {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    // The box of dark (caption) pixels inside the frame.
    RECT CaptionBox() const {
        RECT box = {width, height, -1, -1};
        for (int y = 4; y < height - 4; ++y) {
            for (int x = 4; x < width - 4; ++x) {
                const COLORREF c = At(x, y);
                if (GetRValue(c) + GetGValue(c) + GetBValue(c) >= 200) continue;
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x), std::max<LONG>(box.bottom, y)};
            }
        }
        return box;
    }
    int Count(COLORREF colour) const {
        return static_cast<int>(std::count(pixels.begin(), pixels.end(), colour));
    }
};

Drawing Draw(HWND parent, HWND button, UINT state) {
    RECT r{};
    GetClientRect(button, &r);
    Drawing d;
    d.width = r.right;
    d.height = r.bottom;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, d.width, -d.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(button)),
                        0,          ODA_DRAWENTIRE,
                        state,      button,
                        dc,         r,
                        0};
    SendMessageW(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    GdiFlush();
    for (int i = 0; i < d.width * d.height; ++i) {
        const DWORD p = static_cast<const DWORD*>(bits)[i];
        d.pixels.push_back(RGB(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF));
    }
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return d;
}

TEST_F(WidgetsTest, OptionsButtonsAreOursEachWithItsOwnTip) {
    const struct {
        int id;
        const wchar_t* tip;
        bool icon;
    } kButtons[] = {{IDOK, kOptionsOkTip, true},
                    {IDCANCEL, kOptionsCancelTip, false},
                    {kAdvanced, kOptionsAdvancedTip, false},
                    {kDefaults, kOptionsDefaultsTip, false}};
    ASSERT_EQ(tip.ToolCount(), 4);
    for (int i = 0; i < tip.ToolCount(); ++i) ASSERT_TRUE(tip.ShowTool(i, Centre(dialog.Hwnd())));
    tip.Hide();
    for (const auto& b : kButtons) {
        HWND button = dialog.Item(b.id);
        EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << b.id;
        auto shown = std::find_if(dialog.notified.begin(), dialog.notified.end(),
                                  [&](const PPToolInfo& t) { return t.window == button; });
        ASSERT_NE(shown, dialog.notified.end()) << b.id;
        EXPECT_EQ(shown->text, b.tip) << b.id;
        EXPECT_EQ(shown->icon != nullptr, b.icon) << b.id;
    }
    // The program's tip look, not the tooltip's plain defaults.
    EXPECT_TRUE(tip.Notify());
    EXPECT_EQ(tip.Color(18), COLORREF{0xDFFFFF});
    EXPECT_EQ(tip.Effect(), 13);
    EXPECT_EQ(tip.Behaviour(), kTipRearm);
}

TEST_F(WidgetsTest, ButtonDrawsItsFrameHoverAndPressedCaption) {
    HWND button = dialog.Item(IDOK);
    EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    const Drawing normal = Draw(dialog.Hwnd(), button, 0);
    const int h = normal.height;
    EXPECT_EQ(normal.At(0, h / 2), RGB(0, 0, 0));  // the rounded boundary
    // The face's gradient: row 4 uses colour 4 * 63 / (height - 4).
    EXPECT_EQ(normal.At(4, 4), CXPButton::FaceColour(4 * 63 / (h - 4), false, false));
    EXPECT_NE(normal.At(2, h / 2), CXPButton::kFrameLeft);

    // As _TrackMouseEvent reports the mouse resting on it: the orange frame.
    SendMessageW(button, WM_MOUSEHOVER, 0, 0);
    const Drawing hovered = Draw(dialog.Hwnd(), button, ODS_FOCUS);
    EXPECT_EQ(hovered.At(2, h / 2), CXPButton::kFrameLeft);
    EXPECT_EQ(hovered.At(normal.width - 3, h / 2), CXPButton::kFrameRight);
    bool bottom = false;
    for (int y = h - 5; y < h; ++y)
        bottom |= hovered.At(normal.width / 4, y) == CXPButton::kFrameBottom;
    EXPECT_TRUE(bottom);
    EXPECT_EQ(hovered.At(6, 6), CXPButton::FaceColour(6 * 63 / (h - 4), true, true));
    SendMessageW(button, WM_MOUSELEAVE, 0, 0);
    EXPECT_NE(Draw(dialog.Hwnd(), button, 0).At(2, h / 2), CXPButton::kFrameLeft);

    // Pressed: the caption one pixel right and down.
    const RECT up = normal.CaptionBox();
    const RECT down = Draw(dialog.Hwnd(), button, ODS_SELECTED).CaptionBox();
    ASSERT_GT(up.right, up.left);
    EXPECT_EQ(down.left, up.left + 1);
    EXPECT_EQ(down.top, up.top + 1);

    // Disabled: embossed, no plain caption.
    const Drawing disabled = Draw(dialog.Hwnd(), button, ODS_DISABLED);
    EXPECT_LT(disabled.CaptionBox().right, disabled.CaptionBox().left);  // nothing dark
    EXPECT_GT(disabled.Count(GetSysColor(COLOR_3DSHADOW)), 10);
}

TEST_F(WidgetsTest, HoverFollowsTheMouse) {
    EXPECT_TRUE(MoveMouseUntil(dialog.Item(kAdvanced), Centre(dialog.Item(kAdvanced)),
                               [&] { return Button(kAdvanced).Hovering(); }, 2000));
    EXPECT_TRUE(MoveMouseUntil(dialog.Item(kEdit), Centre(dialog.Item(kEdit)),
                               [&] { return !Button(kAdvanced).Hovering(); }, 2000));
}

TEST_F(WidgetsTest, DefaultFollowsTheFocusAndEnterPressesIt) {
    EXPECT_TRUE(Button(IDOK).IsDefault());
    SendMessageW(dialog.Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(dialog.Item(IDCANCEL)),
                 TRUE);
    EXPECT_TRUE(Button(IDCANCEL).IsDefault());
    EXPECT_FALSE(Button(IDOK).IsDefault());
    // The dialog manager's style changes leave every button owner-drawn.
    for (int id : {IDOK, IDCANCEL, kAdvanced, kDefaults}) {
        EXPECT_EQ(GetWindowLongW(dialog.Item(id), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << id;
    }
    MSG enter{dialog.Item(IDCANCEL), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    IsDialogMessageW(dialog.Hwnd(), &enter);
    ASSERT_FALSE(dialog.commands.empty());
    EXPECT_EQ(dialog.commands.back(), IDCANCEL);
}

TEST_F(WidgetsTest, TipAtTheRightEdgeGoesLeftOfTheCursorInItsRegion) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const POINT cursor = {screenWidth - 10, 300};
    ASSERT_TRUE(tip.ShowTool(0, cursor));
    EXPECT_TRUE(tip.Shown());
    const TipShape& shape = tip.Shape();
    EXPECT_EQ(shape.direction, kBelowLeft);
    const RECT window = ScreenRect(tip.Hwnd());
    EXPECT_EQ(window.left, shape.window.left);
    EXPECT_EQ(window.right - window.left, shape.window.Width() + 2);
    EXPECT_LT(window.left, cursor.x);
    EXPECT_LE(shape.window.right - shape.shadowOffset.x, screenWidth);
    EXPECT_EQ(window.top, cursor.y);

    // The region: the pointer's inside and the shadow are in it, the corner
    // beside the pointer is not.
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetWindowRgn(tip.Hwnd(), region), COMPLEXREGION);
    const auto& t = shape.triangle;
    EXPECT_EQ(cursor.x - window.left, t[0].x);
    EXPECT_TRUE(PtInRegion(region, (t[0].x + t[1].x + t[2].x) / 3, (t[0].y + t[1].y + t[2].y) / 3));
    EXPECT_TRUE(PtInRegion(region, shape.body.right + 2, (shape.body.top + shape.body.bottom) / 2));
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    DeleteObject(region);
    tip.Hide();
    EXPECT_FALSE(tip.Shown());
}

// A cell of the GDI handle table the system keeps in the process (the PEB's
// GdiSharedHandleTable, 0x10000 cells of this layout on x64).
struct GdiCell {
    std::uint64_t object;
    std::uint16_t process;
    std::uint16_t count;
    std::uint16_t upper;
    std::uint16_t type;
    std::uint64_t user;
};
static_assert(sizeof(GdiCell) == 24);

long GdiCellsInUse() {
    const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    const auto* table = *reinterpret_cast<const GdiCell* const*>(peb + 0xF8);
    if (!table) return -1;
    const auto self = static_cast<std::uint16_t>(GetCurrentProcessId());
    long used = 0;
    for (int i = 0; i < 0x10000; ++i) {
        if ((table[i].type & 0x7F) && (table[i].process == self || table[i].process == 0)) ++used;
    }
    return used;
}

// The process's GDI objects: GetGuiResources' count; where that is 0 (Wine
// answers 0 always) the cells in use of the handle table, once they are seen
// to follow a brush made and deleted here. -1 when neither counts.
long ProcessGdiObjects() {
    if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return n;
    const long before = GdiCellsInUse();
    HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
    const long with = GdiCellsInUse();
    DeleteObject(probe);
    return before >= 0 && with == before + 1 && GdiCellsInUse() == before ? before : -1;
}

TEST_F(WidgetsTest, GdiObjectsDoNotGrowOverAThousandTips) {
    const POINT at = Centre(dialog.Item(IDOK));
    ASSERT_TRUE(tip.ShowTool(0, at));
    tip.Hide();
    const long before = LiveWidgetGdiObjects();
    const long processBefore = ProcessGdiObjects();
    ASSERT_GE(processBefore, 0) << "no count of the process's GDI objects";
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(tip.ShowTool(i % 2 ? 0 : 1, at));
        UpdateWindow(tip.Hwnd());  // painted too
        tip.Hide();
    }
    EXPECT_EQ(LiveWidgetGdiObjects(), before);
    // A little room for objects the system caches on its own; a leak per
    // hundred tips is past it.
    EXPECT_LE(ProcessGdiObjects(), processBefore + 8);
}

TEST_F(WidgetsTest, TipComesAfterTheDelayReturnsAfterMovesAndGoesOnAKey) {
    // Mouse input the previous test left in the queue goes first.
    Pump(200);
    tip.SetDelayTime(CPPTooltip::kDelayInitial, 50);
    tip.SetStyles(kTipWhenInactive);  // the test's window need not be active
    HWND button = dialog.Item(IDOK);
    const POINT c = Centre(button);
    MoveMouse(button, c);
    Pump(20);
    EXPECT_FALSE(tip.Shown());  // the initial delay
    ASSERT_TRUE(PumpUntil([&] { return tip.Shown(); }, 2000));

    // Moving inside the same button hides it; it comes back when the mouse rests.
    MoveMouse(button, {c.x + 2, c.y});
    PumpUntil([&] { return !tip.Shown(); }, 20);
    EXPECT_FALSE(tip.Shown());
    EXPECT_TRUE(PumpUntil([&] { return tip.Shown(); }, 2000));

    PostMessageW(button, WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(PumpUntil([&] { return !tip.Shown(); }, 500));

    // Off every tool: nothing comes back. The system's own move events for the
    // cursor set above may arrive late on a loaded machine, so the move to the
    // edit is made twice and only then is the tip looked at.
    MoveMouse(dialog.Item(kEdit), Centre(dialog.Item(kEdit)));
    Pump(200);
    MoveMouse(dialog.Item(kEdit), Centre(dialog.Item(kEdit)));
    Pump(300);
    EXPECT_FALSE(tip.Shown());
}

TEST_F(WidgetsTest, ParentIsToldBeforeEachDisplay) {
    ASSERT_TRUE(tip.ShowTool(1, Centre(dialog.Item(IDCANCEL))));
    ASSERT_EQ(dialog.notified.size(), 1u);
    RECT button = ScreenRect(dialog.Item(IDCANCEL));
    MapWindowPoints(nullptr, dialog.Hwnd(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_TRUE(EqualRect(&dialog.notified[0].rect, &button));
    // A parent that empties the text stops the display.
    dialog.clearText = true;
    EXPECT_FALSE(tip.ShowTool(1, Centre(dialog.Item(IDCANCEL))));
    EXPECT_FALSE(tip.Shown());
}

// The colour request `msg` about `control`, answered on a scratch DC.
struct ColourAnswer {
    HBRUSH brush;
    COLORREF text;
    int mode;
};

ColourAnswer AskColour(HWND dialog, HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(dialog, WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(control)));
    ColourAnswer answer{brush, GetTextColor(dc), GetBkMode(dc)};
    DeleteDC(dc);
    return answer;
}

// Reads and closes the message box titled "Hourlink" once the modal loop shows it.
std::wstring boxText;
void CALLBACK CloseErrorBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"Hourlink");
    if (!box) return;
    KillTimer(nullptr, timer);
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    boxText = text;
    SendMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST(LinkLabelTest, AboutBoxLinksOpenThroughTheShellAndRememberTheVisit) {
    std::vector<std::wstring> opened;
    INT_PTR answer = 42;
    win::SetShellOpenForTesting([&](HWND, const std::wstring& target, int show) {
        opened.push_back(target + L" " + std::to_wstring(show));
        return answer;
    });
    // Never a real browser, whatever the registry holds.
    CLinkLabel::SetCommandStarterForTesting([](const std::wstring&, int) { return 31; });

    AboutDialog about;
    ASSERT_TRUE(about.CreateModeless(nullptr));
    HWND web = about.Item(IDC_ABOUT_WEB);
    HWND mail = about.Item(IDC_ABOUT_MAIL);
    EXPECT_EQ(about.ItemText(IDC_ABOUT_WEB), L"https://hourlink.example/");
    EXPECT_EQ(about.ItemText(IDC_ABOUT_MAIL), L"support@hourlink.example");
    EXPECT_EQ(about.MailLink().Target(), L"mailto:support@hourlink.example");
    const ColourAnswer plain = AskColour(about.Hwnd(), web);
    EXPECT_EQ(plain.text, CLinkLabel::kLinkColour);
    EXPECT_EQ(plain.mode, TRANSPARENT);
    EXPECT_EQ(plain.brush, GetStockObject(HOLLOW_BRUSH));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(web, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_TRUE(font.lfUnderline);
    EXPECT_NE(about.WebLink().LinkCursor(), nullptr);

    SendMessageW(about.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_WEB, STN_CLICKED),
                 reinterpret_cast<LPARAM>(web));
    EXPECT_EQ(opened, std::vector<std::wstring>{L"https://hourlink.example/ 1"});
    EXPECT_TRUE(about.WebLink().Visited());
    // The highlight while the mouse is on it, the visited colour after.
    SendMessageW(web, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(AskColour(about.Hwnd(), web).text, GetSysColor(COLOR_HIGHLIGHT));
    SendMessageW(web, WM_MOUSEMOVE, 0, MAKELPARAM(-5, -5));
    EXPECT_FALSE(about.WebLink().OverLink());
    EXPECT_EQ(AskColour(about.Hwnd(), web).text, CLinkLabel::kVisitedColour);

    // A target nothing opens: the error box, and the link stays unvisited.
    answer = SE_ERR_NOASSOC;
    boxText.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseErrorBox);
    SendMessageW(about.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_MAIL, STN_CLICKED),
                 reinterpret_cast<LPARAM>(mail));
    KillTimer(nullptr, timer);
    EXPECT_EQ(boxText,
              L"Unable to open hyperlink:\n\nThere is no application associated\nwith the "
              L"given filename extension.");
    EXPECT_FALSE(about.MailLink().Visited());
    EXPECT_EQ(AskColour(about.Hwnd(), mail).text, CLinkLabel::kLinkColour);

    win::SetShellOpenForTesting({});
    CLinkLabel::SetCommandStarterForTesting({});
}

TEST(LinkLabelTest, EmptyLabelShowsItsTargetFittedToTheRightEdge) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_RIGHT, 10, 10, 250,
                                 40, parent, nullptr, nullptr, nullptr);
    {
        CLinkLabel link;
        link.SetTarget(L"https://hourlink.example/help");
        ASSERT_TRUE(link.SubclassStatic(label));
        EXPECT_EQ(link.Text(), L"https://hourlink.example/help");
        RECT r = ScreenRect(label);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.right, 260);  // a right-aligned label keeps its right edge
        EXPECT_EQ(r.top, 10);
        EXPECT_LT(r.right - r.left, 250);
        EXPECT_LT(r.bottom - r.top, 40);
    }
    DestroyWindow(parent);
}

TEST(LinkLabelTest, ErrorTextsAndTheBrowsersCommandLine) {
    EXPECT_EQ(CLinkLabel::ErrorText(SE_ERR_FNF), L"The specified file was not found.");
    EXPECT_EQ(CLinkLabel::ErrorText(SE_ERR_SHARE), L"A sharing violation occurred. ");
    EXPECT_EQ(CLinkLabel::ErrorText(77), L"Unknown Error (77) occurred.");
    EXPECT_EQ(CLinkLabel::BrowserCommandLine(L"\"C:\\web.exe\" -new \"%1\" -x", L"https://a/"),
              L"\"C:\\web.exe\" -new  https://a/");
    EXPECT_EQ(CLinkLabel::BrowserCommandLine(L"web.exe %1", L"https://a/"), L"web.exe  https://a/");
    EXPECT_EQ(CLinkLabel::BrowserCommandLine(L"web.exe", L"https://a/"), L"web.exe https://a/");
}

// What the screen shows in `r`.
test::WindowPixels CaptureScreen(RECT r) {
    test::WindowPixels shot;
    shot.width = r.right - r.left;
    shot.height = r.bottom - r.top;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    shot.pixels.assign(p, p + static_cast<size_t>(shot.width) * shot.height);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

void Save(const test::WindowPixels& shot, const char* name) {
    const std::string path = test::ScreenshotPath(name);
    EXPECT_TRUE(test::SavePng(shot, path)) << path;
}

// Whether the tip shows the full-width rule of its text's line `line` in
// `colour`: one pixel high, across the middle of the line, up to the
// content's right edge.
bool ShowsRule(const CPPTooltip& tip, size_t line, COLORREF colour) {
    const MarkupLayout& layout = tip.Layout();
    if (layout.lines.size() <= line) return false;
    const TipRect& content = tip.Shape().content;
    int y = content.top + layout.lines[line].height / 2;
    for (size_t i = 0; i < line; ++i) y += layout.lines[i].height;
    const test::WindowPixels shot = test::CaptureOwnPixels(tip.Hwnd());
    const std::uint32_t rgb = GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
    const auto at = [&](int x, int row) {
        return shot.pixels[static_cast<size_t>(row * shot.width + x)] & 0xFFFFFF;
    };
    if (content.right >= shot.width || y + 1 >= shot.height || y < 1) return false;
    for (int x = content.right - 24; x < content.right; ++x) {
        if (at(x, y) != rgb) return false;
    }
    const int x = content.right - 12;
    return at(content.right, y) != rgb && at(x, y - 1) != rgb && at(x, y + 1) != rgb;
}

// The dialog and the tip together, once the tip shows its rule of line 1 in
// `colour`: a loaded machine can take a while to paint it.
void SaveWithTip(HWND dialog, const CPPTooltip& tip, COLORREF colour, const char* name) {
    EXPECT_TRUE(PumpUntil([&] { return ShowsRule(tip, 1, colour); }, 5000))
        << name << (tip.Shown() ? "" : ", hidden");
    RECT a = ScreenRect(dialog);
    const RECT b = ScreenRect(tip.Hwnd());
    UnionRect(&a, &a, &b);
    InflateRect(&a, 8, 8);
    Save(CaptureScreen(a), name);
}

TEST_F(WidgetsTest, Screenshots) {
    // A hovered and a pressed button.
    ASSERT_TRUE(MoveMouseUntil(dialog.Item(kAdvanced), Centre(dialog.Item(kAdvanced)),
                               [&] { return Button(kAdvanced).Hovering(); }, 2000));
    SendMessageW(dialog.Item(IDCANCEL), BM_SETSTATE, TRUE, 0);
    Pump(100);
    Save(test::CaptureWindow(dialog.Hwnd()), "widgets_buttons");
    SendMessageW(dialog.Item(IDCANCEL), BM_SETSTATE, FALSE, 0);

    // The OK button's tip, and the cancel button's on a noise background.
    MoveMouse(dialog.Item(kEdit), Centre(dialog.Item(kEdit)));
    Pump(100);
    // The cursor stays where each tip is shown from: a mouse move reported
    // anywhere else would hide the tip before it is captured.
    const POINT okCentre = Centre(dialog.Item(IDOK));
    SetCursorPos(okCentre.x, okCentre.y);
    ASSERT_TRUE(tip.ShowTool(0, okCentre));
    Pump(100);
    SaveWithTip(dialog.Hwnd(), tip, RGB(0, 0xAA, 0), "widgets_ok_tip");  // the green rule
    tip.AddTool(dialog.Item(IDCANCEL),
                L"<b>取消</b><br><hr=100%><br>取消这次操作<t>不保存<br><i>按任意键关闭</i>");
    tip.SetEffectBk(7, 40, 1);
    const POINT cancelCentre = Centre(dialog.Item(IDCANCEL));
    SetCursorPos(cancelCentre.x, cancelCentre.y);
    ASSERT_TRUE(tip.ShowTool(1, cancelCentre));
    Pump(100);
    SaveWithTip(dialog.Hwnd(), tip, tip.Color(kSlotText), "widgets_noise_tip");
    tip.Hide();

    // The About box: the web link as it first shows, the mail link visited.
    win::SetShellOpenForTesting([](HWND, const std::wstring&, int) { return 42; });
    AboutDialog about;
    ASSERT_TRUE(about.CreateModeless(nullptr));
    SetWindowPos(about.Hwnd(), HWND_TOP, 300, 200, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SendMessageW(about.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT_MAIL, STN_CLICKED),
                 reinterpret_cast<LPARAM>(about.Item(IDC_ABOUT_MAIL)));
    Pump(150);
    Save(test::CaptureWindow(about.Hwnd()), "widgets_about");
    win::SetShellOpenForTesting({});
}

}  // namespace
}  // namespace hourlink::widgets
