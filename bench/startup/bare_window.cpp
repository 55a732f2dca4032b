// A bare window program made with Hourlink's toolkit (our window layer, common
// controls 6): a top-level window with a menu, a list view and a status bar
// with Chinese texts, and nothing else. The start-up benchmark measures
// Hourlink against it.
//
// Started with the argument "frame" it also makes the other controls
// Hourlink's main window shows at start, with none of its work behind them: a
// flat tool bar with buttons, a month picker and five labels, a tree view with
// a few items beside the list, and a read-only text pane below it. That is the
// fair bare window: what any program with this window costs to start.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <cwchar>

#include "shell/win/message_loop.h"
#include "shell/win/status_bar.h"
#include "shell/win/window.h"

namespace {

using hourlink::win::CreateArgs;
using hourlink::win::StatusBar;
using hourlink::win::Window;
using hourlink::win::WindowClass;

HMENU BuildMenu() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, 1, L"退出(&X)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"文件(&F)");
    HMENU view = CreatePopupMenu();
    AppendMenuW(view, MF_STRING, 2, L"状态栏(&S)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"查看(&V)");
    return bar;
}

class BareWindow : public Window {
  public:
    explicit BareWindow(bool frame) : frame_(frame) {}

    bool Create() {
        WindowClass wc;
        wc.name = L"Hourlink.BareWindow";
        wc.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        CreateArgs args;
        args.title = L"上网计时";
        args.width = 800;
        args.height = 560;
        args.menu = BuildMenu();
        return Window::Create(wc, args);
    }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_CREATE:
                return OnCreate();
            case WM_SIZE:
                Layout();
                return 0;
            case WM_COMMAND:
                if (LOWORD(wp) == 1) DestroyWindow(Hwnd());
                return 0;
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
        }
        return Window::WndProc(msg, wp, lp);
    }

  private:
    int OnCreate() {
        list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
                                Hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
        const wchar_t* columns[] = {L"开始时间", L"结束时间", L"时长", L"连接名称"};
        for (int i = 0; i < 4; ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 150;
            column.pszText = const_cast<wchar_t*>(columns[i]);
            SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        }
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<wchar_t*>(L"2024/05/01 08:00:00");
        SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (frame_) CreateFrameControls();
        if (!status_.Create(Hwnd(), 0xE801)) return -1;
        status_.SetPanes(100, {L"本月累计 0:00:00"});
        status_.SetPaneText(0, L"就绪");
        status_.SetPaneText(1, L"本月累计 0:00:00");
        return 0;
    }

    HWND Child(const wchar_t* type, const wchar_t* text, DWORD style, DWORD exStyle = 0,
               HWND parent = nullptr) {
        return CreateWindowExW(exStyle, type, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                               parent ? parent : Hwnd(), nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    }

    void CreateFrameControls() {
        const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
        const wchar_t* more[] = {L"计费分钟", L"类型", L"本机地址", L"接收字节", L"发送字节"};
        for (int i = 0; i < 5; ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 90;
            column.pszText = const_cast<wchar_t*>(more[i]);
            SendMessageW(list_, LVM_INSERTCOLUMNW, 4 + i, reinterpret_cast<LPARAM>(&column));
        }
        bar_ = Child(TOOLBARCLASSNAMEW, nullptr,
                     WS_CLIPCHILDREN | CCS_TOP | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS);
        SendMessageW(bar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageW(bar_, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
        TBBUTTON buttons[9]{};
        for (int i = 0; i < 9; ++i) {
            buttons[i].iBitmap = i < 8 ? i : 0;
            buttons[i].idCommand = 100 + i;
            buttons[i].fsState = TBSTATE_ENABLED;
            buttons[i].fsStyle = i < 8 ? BTNS_BUTTON : BTNS_SEP;
        }
        buttons[8].iBitmap = 420;  // the picker and labels' room
        SendMessageW(bar_, TB_ADDBUTTONSW, 9, reinterpret_cast<LPARAM>(buttons));
        SendMessageW(bar_, TB_AUTOSIZE, 0, 0);
        RECT slot{};
        SendMessageW(bar_, TB_GETITEMRECT, 8, reinterpret_cast<LPARAM>(&slot));
        HWND picker = Child(DATETIMEPICK_CLASSW, nullptr, WS_TABSTOP | DTS_UPDOWN, 0, bar_);
        SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"yyyy'年'MM'月'"));
        SendMessageW(picker, WM_SETFONT, font, FALSE);
        MoveWindow(picker, slot.left, slot.top, 110, slot.bottom - slot.top, TRUE);
        const wchar_t* labels[] = {L"本月: 0:00:00", L"今日: 0:00:00", L"本次: 0:00:00",
                                   L"计费: 0", L"离线"};
        for (int i = 0; i < 5; ++i) {
            HWND label = Child(L"STATIC", labels[i], SS_LEFT | SS_CENTERIMAGE, 0, bar_);
            SendMessageW(label, WM_SETFONT, font, FALSE);
            MoveWindow(label, slot.left + 115 + i * 60, slot.top, 58, slot.bottom - slot.top, TRUE);
        }

        tree_ = Child(WC_TREEVIEWW, L"",
                      WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS);
        SendMessageW(tree_, WM_SETFONT, font, FALSE);
        TVINSERTSTRUCTW root{};
        root.hParent = TVI_ROOT;
        root.hInsertAfter = TVI_LAST;
        root.item.mask = TVIF_TEXT;
        root.item.pszText = const_cast<wchar_t*>(L"本计算机上网设备列表");
        const auto top = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&root)));
        for (const wchar_t* device : {L"宽带连接", L"拨号上网", L"本地连接"}) {
            TVINSERTSTRUCTW child = root;
            child.hParent = top;
            child.item.pszText = const_cast<wchar_t*>(device);
            SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&child));
        }
        SendMessageW(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(top));

        text_ = Child(L"EDIT", L"",
                      WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL,
                      WS_EX_CLIENTEDGE);
        SendMessageW(text_, WM_SETFONT, font, FALSE);
    }

    void Layout() {
        if (!status_.Hwnd()) return;
        status_.AutoSize();
        RECT client{};
        GetClientRect(Hwnd(), &client);
        int top = 0;
        if (bar_) {
            SendMessageW(bar_, TB_AUTOSIZE, 0, 0);
            RECT bar{};
            GetWindowRect(bar_, &bar);
            top = bar.bottom - bar.top;
        }
        const int bottom = client.bottom - status_.Height();
        const int left = tree_ ? 200 : 0;
        const int textHeight = text_ ? 80 : 0;
        if (tree_) MoveWindow(tree_, 0, top, left, bottom - top, TRUE);
        MoveWindow(list_, left, top, client.right - left, bottom - top - textHeight, TRUE);
        if (text_) MoveWindow(text_, left, bottom - textHeight, client.right - left, textHeight, TRUE);
    }

    const bool frame_;
    HWND list_ = nullptr;
    HWND bar_ = nullptr;
    HWND tree_ = nullptr;
    HWND text_ = nullptr;
    StatusBar status_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    BareWindow window(commandLine && std::wcsstr(commandLine, L"frame") != nullptr);
    if (!window.Create()) return 1;
    window.Show(SW_SHOW);
    UpdateWindow(window.Hwnd());
    return hourlink::win::MessageLoop().Run();
}
