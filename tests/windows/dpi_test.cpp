// The main window, the options dialog and the drop window at the DPI the
// prefix is set to (tests/windows/dpi_runs.sh runs this at 96, 144 and 192
// DPI and says which in HOURLINK_EXPECT_DPI): every text fits its control in
// the control's own font, and the sizes and pictures follow the DPI.
// Screenshots of the three at 144 DPI go to build/screenshots.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/base/clock.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "dialog_script.h"
#include "screenshot.h"
#include "shell/dialogs/options_dialog.h"
#include "shell/frame/main_frame.h"
#include "shell/win/dpi.h"
#include "shell/win/message_loop.h"
#include "text_fit.h"

namespace hourlink {
namespace {

void PumpFor(DWORD ms) {
    const DWORD begin = GetTickCount();
    do {
        win::MessageLoop().RunPending();
        Sleep(20);
    } while (GetTickCount() - begin < ms);
}

int ExpectedDpi() {
    const char* dpi = std::getenv("HOURLINK_EXPECT_DPI");
    return dpi ? std::atoi(dpi) : 0;
}

void ShootAt144(HWND hwnd, const char* name) {
    if (win::SystemDpi() != 144) return;
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    PumpFor(300);
    EXPECT_TRUE(test::SavePng(test::CaptureWindow(hwnd), test::ScreenshotPath(name)));
}

int ImageSize(HIMAGELIST images) {
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    return cx;
}

TEST(Dpi, TheProgramRunsAtTheDpiOfThePrefix) {
    // Without this the other tests would pass at 96 DPI whatever was asked.
    if (ExpectedDpi() == 0) GTEST_SKIP() << "run by dpi_runs.sh";
    EXPECT_EQ(win::SystemDpi(), ExpectedDpi());
}

TEST(Dpi, MainWindowFitsItsTextsAndScalesItsSizes) {
    MemorySettingsStore settings;
    CMainFrame frame;
    ASSERT_TRUE(frame.Create(settings));
    frame.Show(SW_SHOWNOACTIVATE);
    PumpFor(200);
    const int dpi = win::DpiOf(frame.Hwnd());
    EXPECT_EQ(frame.Dpi(), dpi);

    // The default size, within the work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT r{};
    GetWindowRect(frame.Hwnd(), &r);
    EXPECT_EQ((FrameSize{r.right - r.left, r.bottom - r.top}),
              DefaultFrameSize(dpi, work.right - work.left, work.bottom - work.top));

    for (const std::string& fault : test::TextsThatDoNotFit(frame.Hwnd(), dpi)) {
        ADD_FAILURE() << fault;
    }
    // The tree's column is scaled, and its root's text is whole.
    RECT tree{};
    GetWindowRect(frame.EnumView().Hwnd(), &tree);
    EXPECT_GE(tree.right - tree.left, win::Scale(200, dpi));
    EXPECT_LE(frame.EnumView().WidthForRoot(), tree.right - tree.left);
    // The pictures drawn for the DPI.
    const int size = ImageSizeForDpi(dpi);
    EXPECT_EQ(ImageSize(reinterpret_cast<HIMAGELIST>(
                  SendMessageW(frame.MonthBar().Hwnd(), TB_GETIMAGELIST, 0, 0))),
              size);
    EXPECT_EQ(ImageSize(ListView_GetImageList(frame.HourlinkView().Hwnd(), LVSIL_SMALL)), size);
    EXPECT_EQ(ImageSize(TreeView_GetImageList(frame.EnumView().Hwnd(), TVSIL_NORMAL)), size);
    ShootAt144(frame.Hwnd(), "dpi144_main_window");
    frame.Destroy();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

TEST(Dpi, OptionsDialogFitsItsTexts) {
    MemorySettingsStore settings;
    NormalizeSettingsAtStartup(settings);
    OptionsDialog dialog(settings, SystemClock::Instance(), {});
    bool checked = false;
    test::Script script([&] {
        HWND hwnd = dialog.Hwnd();
        if (!hwnd || !IsWindowVisible(hwnd)) return true;
        for (const std::string& fault : test::TextsThatDoNotFit(hwnd, win::DpiOf(hwnd))) {
            ADD_FAILURE() << fault;
        }
        ShootAt144(hwnd, "dpi144_options_dialog");
        checked = true;
        PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        return false;
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
    EXPECT_TRUE(checked);
}

TEST(Dpi, DropWindowFitsItsFigures) {
    MemorySettingsStore settings;
    CDropWindow drop;
    ASSERT_TRUE(drop.Create(nullptr, settings));
    // The widest figures of a long month and a fast line.
    drop.SetMonthTime(L"999:59:59");
    drop.SetSessionTime(L"23:59:59");
    drop.SetRates(L"99999.99", L"99999.99");
    drop.SetData(L"1234.5 GB/10000 GB");
    drop.SetVisible(true);
    PumpFor(200);
    for (const std::string& fault : test::TextsThatDoNotFit(drop.Hwnd(), win::DpiOf(drop.Hwnd()))) {
        ADD_FAILURE() << fault;
    }
    ShootAt144(drop.Hwnd(), "dpi144_drop_window");
}

}  // namespace
}  // namespace hourlink
