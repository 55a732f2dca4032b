// A bare window program made with Hourlink's toolkit (our window layer, common
// controls 6): a top-level window with a menu, a list view and a status bar
// with Chinese texts, and nothing else. The start-up benchmark measures
// Hourlink against it.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

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
        if (!status_.Create(Hwnd(), 0xE801)) return -1;
        status_.SetPanes(100, {L"本月累计 0:00:00"});
        status_.SetPaneText(0, L"就绪");
        status_.SetPaneText(1, L"本月累计 0:00:00");
        return 0;
    }

    void Layout() {
        if (!status_.Hwnd()) return;
        status_.AutoSize();
        RECT client{};
        GetClientRect(Hwnd(), &client);
        MoveWindow(list_, 0, 0, client.right, client.bottom - status_.Height(), TRUE);
    }

    HWND list_ = nullptr;
    StatusBar status_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
    BareWindow window;
    if (!window.Create()) return 1;
    window.Show(SW_SHOW);
    UpdateWindow(window.Hwnd());
    return hourlink::win::MessageLoop().Run();
}
