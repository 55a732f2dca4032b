// The main window's working surface under Wine, on the real frame: the
// splitter (initial sizes, dragging a bar, resizing, the active pane), the
// text pane (read-only, appends at the end, white), the month bar (slots,
// picker, labels and their colours, month changes, tool tips), a move to a
// screen of another DPI and the resources they use. The window is saved as
// build/screenshots/ui_layout.png.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "core/settings/memory_settings_store.h"
#include "res/main_window_res.h"
#include "res/resource.h"
#include "screenshot.h"
#include "shell/frame/main_frame.h"
#include "shell/views/month_bar.h"
#include "shell/views/total_time_view.h"
#include "shell/widgets/view_ex_split_wnd.h"
#include "shell/win/message_loop.h"
#include "shell/win/text.h"
#include "shell/win/window.h"
#include "text_fit.h"

namespace hourlink {
namespace {

using win::Window;

void Pump() {
    win::MessageLoop().RunPending();
}

// The client rectangle of `child` in its parent's coordinates.
RECT RectInParent(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The real main window at its default size, its splitters found from their
// panes.
class UiLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(frame.Create(settings));
        frame.Show(SW_SHOWNOACTIVATE);
        Pump();
        outer = Splitter(frame.EnumView().Hwnd());
        inner = Splitter(frame.TotalTimeView().Hwnd());
        ASSERT_NE(outer, nullptr);
        ASSERT_NE(inner, nullptr);
        tree = frame.EnumView().Hwnd();
        font = frame.StatusBar().Font();
    }
    void TearDown() override {
        frame.Destroy();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    static widgets::CViewExSplitWnd* Splitter(HWND pane) {
        return dynamic_cast<widgets::CViewExSplitWnd*>(Window::FromHwnd(GetParent(pane)));
    }
    // The tree's column: 200 pixels, or what the root's text needs.
    int TreeWidth() { return std::max(200, frame.EnumView().WidthForRoot()); }

    MemorySettingsStore settings;
    CMainFrame frame;
    widgets::CViewExSplitWnd* outer = nullptr;
    widgets::CViewExSplitWnd* inner = nullptr;
    HWND tree = nullptr;
    HFONT font = nullptr;
    CMonthBar& monthBar = frame.MonthBar();
    CTotalTimeView& text = frame.TotalTimeView();
};

// --- the splitter ---

TEST_F(UiLayout, SplitterStartsWithTheTreeColumnAndTwoThirdsForTheList) {
    RECT client{};
    GetClientRect(outer->Hwnd(), &client);
    const int w = TreeWidth();
    EXPECT_EQ(outer->ColumnWidth(0), w);
    EXPECT_EQ(outer->ColumnWidth(1), client.right - w - widgets::CViewExSplitWnd::kBarSize);
    EXPECT_EQ(RectInParent(tree).right - RectInParent(tree).left, w);
    EXPECT_EQ(RectInParent(inner->Hwnd()).left, w + widgets::CViewExSplitWnd::kBarSize);

    // The list gets two thirds of the frame's client height, the text pane
    // what is left between the bars.
    RECT frameClient{};
    GetClientRect(frame.Hwnd(), &frameClient);
    const int height = frameClient.bottom;
    EXPECT_EQ(inner->RowHeight(0), height * 2 / 3);
    RECT innerClient{};
    GetClientRect(inner->Hwnd(), &innerClient);
    EXPECT_EQ(inner->RowHeight(1),
              innerClient.bottom - height * 2 / 3 - widgets::CViewExSplitWnd::kBarSize);
    EXPECT_EQ(RectInParent(text.Hwnd()).top, height * 2 / 3 + widgets::CViewExSplitWnd::kBarSize);
}

TEST_F(UiLayout, DraggingABarMovesItAndStopsAtTheMinimumPaneSize) {
    HWND splitter = outer->Hwnd();
    // Take the bar 2 pixels into it, move right by 100, let go.
    const int w = TreeWidth();
    SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(w + 2, 50));
    EXPECT_EQ(GetCapture(), splitter);
    SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(w + 102, 60));
    EXPECT_EQ(outer->ColumnWidth(0), w + 100);  // live, before the button is up
    SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(w + 102, 60));
    EXPECT_NE(GetCapture(), splitter);
    EXPECT_EQ(RectInParent(tree).right, w + 100);
    EXPECT_EQ(RectInParent(inner->Hwnd()).left, w + 100 + widgets::CViewExSplitWnd::kBarSize);

    // Moving the mouse without the bar held changes nothing.
    SendMessageW(splitter, WM_MOUSEMOVE, 0, MAKELPARAM(w + 300, 60));
    EXPECT_EQ(outer->ColumnWidth(0), w + 100);

    // Far past the right edge: the right pane keeps its minimum.
    RECT client{};
    GetClientRect(splitter, &client);
    SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(w + 100, 50));
    SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.right + 400, 60));
    SendMessageW(splitter, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(outer->ColumnWidth(1), widgets::CViewExSplitWnd::kMinPaneSize);

    // A click in a pane's room (not on a bar) does not start a drag.
    SendMessageW(inner->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_NE(GetCapture(), inner->Hwnd());

    // The row bar of the inner splitter drags up and down.
    const int bar = inner->RowHeight(0);
    SendMessageW(inner->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, bar + 1));
    SendMessageW(inner->Hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, bar - 49));
    SendMessageW(inner->Hwnd(), WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(inner->RowHeight(0), bar - 50);
    EXPECT_EQ(RectInParent(text.Hwnd()).top, bar - 50 + widgets::CViewExSplitWnd::kBarSize);
}

TEST_F(UiLayout, ResizingKeepsTheTreeWidthAndTheRowProportions) {
    const int listBefore = inner->RowHeight(0);
    const int textBefore = inner->RowHeight(1);
    SetWindowPos(frame.Hwnd(), nullptr, 0, 0, 900, 800, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    EXPECT_EQ(outer->ColumnWidth(0), TreeWidth());
    const double before = static_cast<double>(listBefore) / (listBefore + textBefore);
    const double after =
        static_cast<double>(inner->RowHeight(0)) / (inner->RowHeight(0) + inner->RowHeight(1));
    EXPECT_GT(inner->RowHeight(0), listBefore);
    EXPECT_NEAR(after, before, 0.01);

    // Too small for the tree's width: the last column keeps its minimum and
    // the tree gives way; growing again gives the tree its width back.
    SetWindowPos(frame.Hwnd(), nullptr, 0, 0, 150, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    RECT client{};
    GetClientRect(outer->Hwnd(), &client);
    if (client.right >
        widgets::CViewExSplitWnd::kMinPaneSize * 2 + widgets::CViewExSplitWnd::kBarSize) {
        EXPECT_EQ(outer->ColumnWidth(1), widgets::CViewExSplitWnd::kMinPaneSize);
        EXPECT_EQ(
            outer->ColumnWidth(0) + widgets::CViewExSplitWnd::kBarSize + outer->ColumnWidth(1),
            client.right);
    }
    SetWindowPos(frame.Hwnd(), nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
    EXPECT_EQ(outer->ColumnWidth(0), TreeWidth());
}

TEST_F(UiLayout, ActivePaneIsThePaneHoldingTheFocus) {
    SetFocus(text.Hwnd());
    int row = -1;
    int column = -1;
    EXPECT_EQ(inner->ActivePane(&row, &column), text.Hwnd());
    EXPECT_EQ(row, 1);
    EXPECT_EQ(column, 0);
    // The outer splitter reports the pane that contains the focused window.
    EXPECT_EQ(outer->ActivePane(&row, &column), inner->Hwnd());
    EXPECT_EQ(column, 1);
    SetFocus(tree);
    EXPECT_EQ(outer->ActivePane(), tree);
    EXPECT_EQ(inner->ActivePane(), nullptr);
}

// --- the text pane ---

std::wstring TextOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

TEST_F(UiLayout, TextPaneAppendsAtTheEndWhereverTheCaretIs) {
    HWND edit = text.Hwnd();
    SetWindowTextW(edit, L"");
    text.Append(L"ADSL在线\r\n");
    text.Append(L"拨号失败有错误 691\n");  // a bare "\n" still breaks the line
    EXPECT_EQ(TextOf(edit), L"ADSL在线\r\n拨号失败有错误 691\r\n");
    EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 3);

    // The user selected something at the start: the text still goes at the end
    // and the selection text is kept.
    SendMessageW(edit, EM_SETSEL, 0, 4);
    text.Append(L"ADSL离线\r\n");
    EXPECT_EQ(TextOf(edit), L"ADSL在线\r\n拨号失败有错误 691\r\nADSL离线\r\n");
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, static_cast<DWORD>(GetWindowTextLengthW(edit)));
    EXPECT_EQ(end, start);
}

TEST_F(UiLayout, TextPaneIsReadOnlyButCopies) {
    HWND edit = text.Hwnd();
    SetWindowTextW(edit, L"");
    EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_MULTILINE);
    text.Append(L"总时间: 1:02:03\r\n");
    SetFocus(edit);
    SendMessageW(edit, WM_CHAR, L'x', 0);
    SendMessageW(edit, WM_KEYDOWN, VK_BACK, 0);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(TextOf(edit), L"总时间: 1:02:03\r\n");

    SendMessageW(edit, EM_SETSEL, 0, 3);
    SendMessageW(edit, WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(frame.Hwnd()));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, L"总时间");
}

TEST_F(UiLayout, TextPaneKeepsGrowingAndShowsTheNewestLine) {
    HWND edit = text.Hwnd();
    EXPECT_GE(static_cast<DWORD>(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
    // Past an edit control's default limit of 32767 characters.
    SetWindowTextW(edit, L"");
    const std::wstring line = L"2004/03/01 12:00:00 ADSL在线 0123456789\r\n";
    constexpr int kLines = 900;
    for (int i = 0; i < kLines; ++i) text.Append(line);
    EXPECT_EQ(GetWindowTextLengthW(edit), static_cast<int>(line.size() * kLines));
    EXPECT_GT(GetWindowTextLengthW(edit), 32767);
    const int lines = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
    EXPECT_EQ(lines, kLines + 1);
    // The last line is on screen.
    RECT client{};
    GetClientRect(edit, &client);
    TEXTMETRICW tm{};
    HDC dc = GetDC(edit);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(edit, dc);
    const int visible = client.bottom / tm.tmHeight;
    const int first = static_cast<int>(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    EXPECT_GT(first, 0);
    EXPECT_GE(first + visible, lines - 1);
}

TEST_F(UiLayout, TextPaneIsWhiteAndInTheStatusBarFont) {
    HWND edit = text.Hwnd();
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), font);
    HDC dc = CreateCompatibleDC(nullptr);
    SetBkColor(dc, RGB(1, 2, 3));
    // What the read-only edit asks its parent (the inner splitter) for.
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(edit), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(edit)));
    LOGBRUSH lb{};
    ASSERT_TRUE(GetObjectW(brush, sizeof lb, &lb));
    EXPECT_EQ(lb.lbColor, RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    DeleteDC(dc);

    // Another font set on the control is replaced at the next update.
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)),
                 FALSE);
    text.Append(L"x");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)), font);
}

// --- the month bar ---

TEST_F(UiLayout, MonthBarHasItsSixteenSlots) {
    HWND bar = monthBar.Hwnd();
    EXPECT_EQ(GetDlgCtrlID(bar), ID_MONTH_BAR);
    EXPECT_TRUE(GetWindowLongW(bar, GWL_STYLE) & TBSTYLE_TOOLTIPS);
    ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 16);
    const struct {
        int id;
        bool separator;
        int image;
    } expected[16] = {
        {110, true, -1},   {0, true, -1},     {32772, false, 0}, {32778, false, 1},
        {32780, false, 2}, {0, true, -1},     {32779, false, 3}, {32789, false, 4},
        {32792, false, 5}, {57664, false, 6}, {10, true, -1},    {11, true, -1},
        {12, true, -1},    {13, true, -1},    {14, true, -1},    {15, true, -1},
    };
    for (int i = 0; i < 16; ++i) {
        TBBUTTON b{};
        ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b)));
        EXPECT_EQ(b.idCommand, expected[i].id) << "slot " << i;
        EXPECT_EQ((b.fsStyle & BTNS_SEP) != 0, expected[i].separator) << "slot " << i;
        if (!expected[i].separator) {
            EXPECT_EQ(b.iBitmap, expected[i].image) << "slot " << i;
        }
    }
    auto width = [&](int slot) {
        RECT r{};
        SendMessageW(bar, TB_GETITEMRECT, slot, reinterpret_cast<LPARAM>(&r));
        return static_cast<int>(r.right - r.left);
    };
    EXPECT_EQ(width(0), 110);
    EXPECT_EQ(width(1), 6);
    EXPECT_EQ(width(5), 7);

    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(bar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 7);
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

SYSTEMTIME PickerValue(HWND picker) {
    SYSTEMTIME st{};
    SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
    return st;
}

TEST_F(UiLayout, MonthPickerShowsMonthsFrom1981To2037) {
    HWND picker = monthBar.Picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(GetParent(picker), monthBar.Hwnd());
    EXPECT_EQ(GetDlgCtrlID(picker), IDC_MONTH_PICKER);
    EXPECT_TRUE(GetWindowLongW(picker, GWL_STYLE) & DTS_UPDOWN);
    wchar_t className[64]{};
    GetClassNameW(picker, className, 64);
    EXPECT_STREQ(className, DATETIMEPICK_CLASSW);

    SYSTEMTIME range[2]{};
    const auto flags = SendMessageW(picker, DTM_GETRANGE, 0, reinterpret_cast<LPARAM>(range));
    EXPECT_EQ(flags, GDTR_MIN | GDTR_MAX);
    EXPECT_EQ(range[0].wYear, 1981);
    EXPECT_EQ(range[0].wMonth, 1);
    EXPECT_EQ(range[0].wDay, 1);
    EXPECT_EQ(range[1].wYear, 2037);
    EXPECT_EQ(range[1].wMonth, 12);
    EXPECT_EQ(range[1].wDay, 31);

    // It starts at the month the history list shows.
    SYSTEMTIME value = PickerValue(picker);
    EXPECT_EQ(value.wYear, frame.DisplayedMonth().year);
    EXPECT_EQ(value.wMonth, frame.DisplayedMonth().month);

    monthBar.SetMonth(2004, 3);
    value = PickerValue(picker);
    EXPECT_EQ(value.wYear, 2004);
    EXPECT_EQ(value.wMonth, 3);
    EXPECT_EQ(monthBar.Year(), 2004);
    EXPECT_EQ(monthBar.Month(), 3);
    // Records of years to come can be shown.
    monthBar.SetMonth(2035, 7);
    EXPECT_EQ(PickerValue(picker).wYear, 2035);
}

TEST_F(UiLayout, PickingAMonthTellsWhoListens) {
    std::vector<std::pair<int, int>> picked;
    monthBar.OnMonthChanged([&](int year, int month) { picked.emplace_back(year, month); });
    HWND picker = monthBar.Picker();
    monthBar.SetMonth(2004, 2);
    EXPECT_TRUE(picked.empty());  // setting it from the program is not a pick

    // The user changes the month: the control announces its new value.
    SYSTEMTIME st{};
    st.wYear = 2004;
    st.wMonth = 3;
    st.wDay = 1;
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
    NMDATETIMECHANGE change{};
    change.nmhdr.hwndFrom = picker;
    change.nmhdr.idFrom = IDC_MONTH_PICKER;
    change.nmhdr.code = DTN_DATETIMECHANGE;
    change.dwFlags = GDT_VALID;
    change.st = st;
    SendMessageW(monthBar.Hwnd(), WM_NOTIFY, IDC_MONTH_PICKER, reinterpret_cast<LPARAM>(&change));
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0], std::make_pair(2004, 3));
    EXPECT_EQ(monthBar.Month(), 3);

    // "No date" is not a month.
    change.dwFlags = GDT_NONE;
    SendMessageW(monthBar.Hwnd(), WM_NOTIFY, IDC_MONTH_PICKER, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(picked.size(), 1u);
}

TEST_F(UiLayout, LabelsAreGreenOnBlackAndSizedToTheirFirstTexts) {
    const wchar_t* first[6] = {L"本月用时:",   L"000:00:00   ",  L"本次用时:",
                               L"00:00:00   ", L"本次开始时间:", L"  "};
    HWND bar = monthBar.Hwnd();
    HDC screen = GetDC(bar);
    HGDIOBJ old = SelectObject(screen, font);
    for (int i = 0; i < 6; ++i) {
        HWND label = monthBar.Label(i);
        ASSERT_NE(label, nullptr);
        // The value labels show the frame's figures by now.
        if (i % 2 == 0) {
            EXPECT_EQ(TextOf(label), first[i]);
        }
        EXPECT_EQ(GetDlgCtrlID(label), 10 + i);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), font);
        RECT slot{};
        SendMessageW(bar, TB_GETITEMRECT, 10 + i, reinterpret_cast<LPARAM>(&slot));
        const RECT r = RectInParent(label);
        EXPECT_EQ(r.left, slot.left) << i;
        if (i < 5) {
            SIZE size{};
            GetTextExtentPoint32W(screen, first[i], static_cast<int>(wcslen(first[i])), &size);
            EXPECT_EQ(r.right - r.left, size.cx) << i;
            EXPECT_EQ(slot.right - slot.left, size.cx) << i;
        } else {
            EXPECT_EQ(r.right, CMonthBar::kLabelsRight);
        }
    }
    SelectObject(screen, old);
    ReleaseDC(bar, screen);

    HDC dc = CreateCompatibleDC(nullptr);
    auto brush =
        reinterpret_cast<HBRUSH>(SendMessageW(bar, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(monthBar.Label(3))));
    LOGBRUSH lb{};
    ASSERT_TRUE(GetObjectW(brush, sizeof lb, &lb));
    EXPECT_EQ(lb.lbColor, RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 255, 0));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    DeleteDC(dc);

    monthBar.SetMonthTotal(L"123:04:05");
    monthBar.SetSessionTime(L"0:10:00");
    monthBar.SetSessionStart(L"2004/03/01 08:00:00");
    EXPECT_EQ(TextOf(monthBar.Label(1)), L"123:04:05");
    EXPECT_EQ(TextOf(monthBar.Label(3)), L"0:10:00");
    EXPECT_EQ(TextOf(monthBar.Label(5)), L"2004/03/01 08:00:00");
    EXPECT_EQ(TextOf(monthBar.Label(0)), L"本月用时:");
}

TEST_F(UiLayout, ButtonToolTipsComeFromTheStringResources) {
    const struct {
        UINT id;
        const wchar_t* tip;
    } cases[] = {{32772, L"连接..."},      {32778, L"编辑..."},    {32780, L"选项..."},
                 {32779, L"挂断"},         {32789, L"计算总时间"}, {32792, L"生成HTML报表"},
                 {57664, L"关于 Hourlink"}};
    HWND tips = reinterpret_cast<HWND>(SendMessageW(monthBar.Hwnd(), TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tips, nullptr);
    for (const auto& c : cases) {
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = tips;
        info.hdr.idFrom = c.id;
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(monthBar.Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_NE(info.lpszText, nullptr) << c.id;
        EXPECT_STREQ(info.lpszText, c.tip) << c.id;
    }
    EXPECT_EQ(win::LoadResourceString(IDC_MONTH_PICKER), L"按月份显示历史纪录\n按月份显示历史纪录");
}

// --- resources ---

void CollectIds(HMENU menu, std::set<UINT>& ids) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            CollectIds(sub, ids);
        } else {
            ids.insert(GetMenuItemID(menu, i));
        }
    }
}

std::wstring MenuText(HMENU menu, UINT id) {
    wchar_t text[128]{};
    GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND);
    return text;
}

TEST(UiResources, MainMenuHasEveryCommand) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 5);
    std::set<UINT> ids;
    CollectIds(menu, ids);
    for (UINT id : {57665u, 32772u, 32779u, 32778u, 32794u, 32795u, 32805u, 32789u, 32792u, 32790u,
                    32793u, 32780u, 32796u, 1013u, 57671u, 57664u}) {
        EXPECT_TRUE(ids.count(id)) << id;
    }
    for (UINT id = 32797; id <= 32803; ++id) EXPECT_TRUE(ids.count(id)) << id;
    EXPECT_EQ(MenuText(menu, 57665), L"退出(&X)");
    EXPECT_EQ(MenuText(menu, 32796), L"测试主机可否到达(&Ping)");
    EXPECT_EQ(MenuText(menu, 1013), L"密码保护本程序...");
    EXPECT_EQ(MenuText(menu, 32797), L"正常颜色");
    EXPECT_EQ(MenuText(menu, 32803), L"铿锵玫瑰");
    EXPECT_EQ(MenuText(menu, 57664), L"关于 Hourlink(&A)...");
    DestroyMenu(menu);
}

TEST(UiResources, TrayAndListMenusHaveTheirItemsInOrder) {
    HMENU tray = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    ASSERT_NE(tray, nullptr);
    HMENU popup = GetSubMenu(tray, 0);
    ASSERT_NE(popup, nullptr);
    // A left click on the tray icon runs the item at position 1.
    const UINT order[] = {32790, 32771, 32772, 32779, 32793};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(GetMenuItemID(popup, i), order[i]) << i;
    HMENU themes = GetSubMenu(popup, 5);
    ASSERT_NE(themes, nullptr);
    EXPECT_EQ(GetMenuItemCount(themes), 7);
    EXPECT_EQ(GetMenuItemID(themes, 0), 32797u);
    EXPECT_EQ(GetMenuItemID(themes, 6), 32803u);
    DestroyMenu(tray);

    HMENU list = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_LIST_MENU));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(list, 0), 0), 32789u);
    EXPECT_EQ(MenuText(list, 32789), L"计算总时间");
    DestroyMenu(list);
}

// The colour at (x, y) of an icon's colour bitmap.
COLORREF IconPixel(HICON icon, int size, int x, int y) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return CLR_INVALID;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> pixels(static_cast<size_t>(size * size));
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, size, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    const uint32_t p = pixels[static_cast<size_t>(y * size + x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

TEST(UiResources, TrafficLightIconsShowRedOfflineAndGreenOnline) {
    // Every size the shell asks for, so the tray icon is never scaled up.
    for (int size : {16, 20, 24, 32, 48}) {
        auto load = [&](int id) {
            return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                 IMAGE_ICON, size, size, 0));
        };
        HICON offline = load(IDI_OFFLINE);
        HICON online = load(IDI_ONLINE);
        ASSERT_NE(offline, nullptr) << size;
        ASSERT_NE(online, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(offline, &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);

        // The top lamp is lit red offline; the bottom one green online.
        const int x = size / 2;
        const int top = size * 19 / 100 + 1;
        const int bottom = size * 81 / 100;
        COLORREF red = IconPixel(offline, size, x, top);
        COLORREF green = IconPixel(online, size, x, bottom);
        EXPECT_GT(GetRValue(red), 200) << size;
        EXPECT_LT(GetGValue(red), 120) << size;
        EXPECT_GT(GetGValue(green), 200) << size;
        EXPECT_LT(GetRValue(green), 120) << size;
        // And the other state's lamp is dark.
        EXPECT_LT(GetRValue(IconPixel(online, size, x, top)), 150) << size;
        DestroyIcon(offline);
        DestroyIcon(online);
    }
}

TEST(UiResources, StatusPaneStringsAreBlanksOfTheirWidths) {
    const struct {
        UINT id;
        size_t length;
    } panes[] = {{130, 51}, {131, 10}, {132, 8}, {133, 16}};
    for (const auto& pane : panes) {
        EXPECT_EQ(win::LoadResourceString(pane.id), std::wstring(pane.length, L' ')) << pane.id;
    }
    const std::wstring totals = win::LoadResourceString(IDS_PANE_TOTALS);
    EXPECT_FALSE(totals.empty());
    EXPECT_EQ(totals.find_first_not_of(L' '), std::wstring::npos);
}

// --- another DPI ---

int ImageSize(HIMAGELIST images) {
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    return cx;
}

int FontHeight(HFONT font) {
    LOGFONTW lf{};
    GetObjectW(font, sizeof lf, &lf);
    return std::abs(lf.lfHeight);
}

TEST_F(UiLayout, MovingToAScreenOf144DpiRemakesFontsPicturesAndSizes) {
    const int fontBefore = FontHeight(font);
    monthBar.EnableButton(ID_HANG_UP, false);
    RECT suggested{0, 0, 1000, 700};
    SendMessageW(frame.Hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    Pump();
    EXPECT_EQ(frame.Dpi(), 144);
    RECT r{};
    GetWindowRect(frame.Hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 1000);
    EXPECT_GE(outer->ColumnWidth(0), 300);
    EXPECT_GT(FontHeight(frame.StatusBar().Font()), fontBefore);
    for (HWND control : {frame.EnumView().Hwnd(), frame.HourlinkView().Hwnd(), text.Hwnd(),
                         monthBar.Picker(), monthBar.Label(0)}) {
        EXPECT_EQ(test::FontOf(control), frame.StatusBar().Font());
    }
    EXPECT_EQ(ImageSize(reinterpret_cast<HIMAGELIST>(
                  SendMessageW(monthBar.Hwnd(), TB_GETIMAGELIST, 0, 0))),
              24);
    EXPECT_EQ(ImageSize(ListView_GetImageList(frame.HourlinkView().Hwnd(), LVSIL_SMALL)), 24);
    EXPECT_EQ(ImageSize(TreeView_GetImageList(tree, TVSIL_NORMAL)), 24);
    EXPECT_EQ(RectInParent(monthBar.Label(5)).right, 1536);
    // The buttons keep their states.
    EXPECT_FALSE(monthBar.IsButtonEnabled(ID_HANG_UP));
    EXPECT_TRUE(monthBar.IsButtonEnabled(ID_APP_ABOUT));
    for (const std::string& fault : test::TextsThatDoNotFit(frame.Hwnd(), 144)) {
        ADD_FAILURE() << fault;
    }
}

// --- the screenshot ---

// How far right of where it is drawn the header's title `column` shows its
// first dark pixel, in the header's font.
int InkLeft(HWND header, int column) {
    wchar_t title[64] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = 64;
    Header_GetItem(header, column, &item);
    const int width = 64;
    const test::WindowPixels ink = test::PaintedPixels(width, 64, [&](HDC dc) {
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)));
        PatBlt(dc, 0, 0, width, 64, WHITENESS);
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutW(dc, 0, 0, title, 1);
        SelectObject(dc, old);
    });
    int left = width;
    for (std::size_t i = 0; i < ink.pixels.size(); ++i) {
        const std::uint32_t c = ink.pixels[i] & 0xFFFFFF;
        if ((c >> 16) + (c >> 8 & 0xFF) + (c & 0xFF) < 200) {
            left = std::min(left, static_cast<int>(i % width));
        }
    }
    return left;
}

TEST_F(UiLayout, MainWindowScreenshotShowsTheSortedColumnsTitleInPlace) {
    frame.HourlinkView().SortByColumn(kColumnDuration);  // the header draws this title
    text.Append(L"ADSL在线\r\n");
    text.Append(L"ADSL离线\r\n选中 1 条记录, 总时间 0:10:00\r\n");
    monthBar.SetMonthTotal(L"12:34:56");
    monthBar.SetSessionTime(L"0:10:00");
    monthBar.SetSessionStart(L"2004/03/01 08:00:00");
    SetWindowPos(frame.Hwnd(), HWND_TOP, 0, 0, 1024, 600, SWP_SHOWWINDOW);
    const test::AboveAll above(frame.Hwnd());
    RedrawWindow(frame.Hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    for (int i = 0; i < 10; ++i) {
        Pump();
        Sleep(50);
    }
    const test::WindowPixels shot = test::CaptureOwnPixels(frame.Hwnd());
    const std::string path = test::ScreenshotPath("ui_layout");
    ASSERT_TRUE(test::SavePng(shot, path)) << path;

    // The sorted column's title: on the face colour, a quarter of the
    // header's height in from the left, centred in height, clear of the arrow.
    HWND header = ListView_GetHeader(frame.HourlinkView().Hwnd());
    RECT item{};
    Header_GetItemRect(header, kColumnDuration, &item);
    MapWindowPoints(header, nullptr, reinterpret_cast<POINT*>(&item), 2);
    RECT window{};
    GetWindowRect(frame.Hwnd(), &window);
    OffsetRect(&item, -window.left, -window.top);
    const int q = (item.bottom - item.top) / 4;
    const auto at = [&](int x, int y) {
        return shot.pixels[static_cast<size_t>(y * shot.width + x)] & 0xFFFFFF;
    };
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(
        at(item.left + 1, item.top + 1),
        static_cast<std::uint32_t>(GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face)));
    RECT title = {item.right, item.bottom, item.left, item.top};
    for (int y = item.top; y < item.bottom; ++y) {
        for (int x = item.left; x < item.right; ++x) {
            const std::uint32_t c = at(x, y);
            if ((c >> 16) + (c >> 8 & 0xFF) + (c & 0xFF) >= 200) continue;  // not the text's
            title = {std::min<LONG>(title.left, x), std::min<LONG>(title.top, y),
                     std::max<LONG>(title.right, x + 1), std::max<LONG>(title.bottom, y + 1)};
        }
    }
    ASSERT_LT(title.left, title.right) << "no title in the sorted column";
    EXPECT_EQ(title.left, item.left + q + InkLeft(header, kColumnDuration));
    EXPECT_LE(title.right, item.right - 4 * q);
    EXPECT_LE(std::abs((title.top + title.bottom) - (item.top + item.bottom)), 4);
}

}  // namespace
}  // namespace hourlink
