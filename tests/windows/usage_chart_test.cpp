// The usage chart window and the CSV export on the main frame, under a manual
// clock with a table of records: the chart opens from the 查看 menu command,
// shows the projection, follows the month picker and the session tick, and is
// painted (a screenshot); the CSV export writes the rows the list shows, in its
// order, through the save dialog, and a failed write leaves nothing behind.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "dialog_script.h"
#include "res/main_window_res.h"
#include "res/resource.h"
#include "screenshot.h"
#include "shell/frame/csv_export.h"
#include "shell/frame/frame_messages.h"
#include "shell/frame/main_frame.h"
#include "shell/win/message_loop.h"
#include "shell/win/text.h"
#include "temp_dir.h"
#include "test_records.h"

namespace hourlink {
namespace {

using test::At;
using test::Finished;

constexpr std::int64_t kHour = 3600;

void Pump() {
    win::MessageLoop().RunPending();
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int FilesIn(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

class UsageChartTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (frame_) frame_->Destroy();
        frame_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    // The frame on `clock` over an empty record file, listing `records` as
    // if the watcher had loaded them.
    CMainFrame& OpenWithRecords(std::vector<SessionRecord> records) {
        const std::wstring file = data_.File(L"adsl.bs");
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const auto header = EncodeHeader(RecordFileHeader{});
        DWORD written = 0;
        WriteFile(h, header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
        CloseHandle(h);
        settings_.WriteString(L"", L"Directory", data_.path());
        frame_ = std::make_unique<CMainFrame>(clock_);
        EXPECT_TRUE(frame_->Create(settings_));
        frame_->Table().Replace(std::move(records));
        PostMessageW(frame_->Hwnd(), WM_RECORDS_UPDATED, 1, 0);
        Pump();
        return *frame_;
    }

    // December 2026 (start day 21) seen on 30 November at noon: ten days of
    // 2:12:00 each, 1.29 GB over them, and a session of the month before.
    static std::vector<SessionRecord> TenDays() {
        std::vector<SessionRecord> records{Finished(At(2026, 11, 2, 9), 3 * 3600)};
        for (int d = 0; d < 10; ++d) {
            records.push_back(Finished(At(2026, 11, 21 + d, 19), 7920, 2,
                                       d % 2 ? "ADSL" : "\xbf\xed\xb4\xf8\xc1\xac\xbd\xd3"));
            records.back().bytesReceived = 100'000'000 + 10'000'000 * (d % 3);
            records.back().bytesSent = 20'000'000;
        }
        return records;
    }

    void PickMonth(int year, int month) {
        HWND picker = frame_->MonthBar().Picker();
        SYSTEMTIME st{};
        st.wYear = static_cast<WORD>(year);
        st.wMonth = static_cast<WORD>(month);
        st.wDay = 1;
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
        NMDATETIMECHANGE change{};
        change.nmhdr.hwndFrom = picker;
        change.nmhdr.idFrom = IDC_MONTH_PICKER;
        change.nmhdr.code = DTN_DATETIMECHANGE;
        change.dwFlags = GDT_VALID;
        change.st = st;
        SendMessageW(frame_->MonthBar().Hwnd(), WM_NOTIFY, IDC_MONTH_PICKER,
                     reinterpret_cast<LPARAM>(&change));
        Pump();
    }

    // What the window draws once it has changed from `before`
    // and two looks agree (the window and its buttons painted), or at the
    // deadline what it shows then.
    static test::WindowPixels SettledShot(HWND hwnd, const test::WindowPixels& before) {
        const ULONGLONG deadline = GetTickCount64() + 5000;
        test::WindowPixels last = before;
        for (;;) {
            Pump();
            test::WindowPixels shot = test::CaptureOwnPixels(hwnd);
            const bool settled = shot.pixels != before.pixels && shot.pixels == last.pixels;
            if (settled || GetTickCount64() >= deadline) return shot;
            last = std::move(shot);
            // The next look after the next message or 50 ms.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }

    ManualClock clock_{At(2026, 11, 30, 12), 5'000'000};
    MemorySettingsStore settings_;
    test::TempDir data_{L"hourlink-chart-"};
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(UsageChartTest, OpensFromTheMenuFollowsThePickerAndTheTick) {
    CMainFrame& frame = OpenWithRecords(TenDays());
    frame.Show(SW_SHOW);
    CUsageChartWnd& chart = frame.UsageChartWnd();
    EXPECT_EQ(chart.Hwnd(), nullptr);  // not before it is asked for
    SendMessageW(frame.Hwnd(), WM_COMMAND, ID_USAGE_CHART, 0);
    Pump();
    ASSERT_NE(chart.Hwnd(), nullptr);
    EXPECT_TRUE(IsWindowVisible(chart.Hwnd()));
    EXPECT_EQ(GetWindow(chart.Hwnd(), GW_OWNER), frame.Hwnd());

    // The list's month and sums, the limits of the settings (60 and 5 hours).
    EXPECT_EQ(chart.Chart().month, (YearMonth{2026, 12}));
    EXPECT_EQ(chart.Chart().days.size(), 30u);
    EXPECT_EQ(chart.Chart().used, frame.Figures().monthBilled);
    EXPECT_EQ(chart.Chart().used, 22 * kHour);
    EXPECT_EQ(chart.Texts().projection, L"按目前速度，将于12月18日达到每月限额");

    // The screenshot for people, and the lines it must show: the blue month,
    // the red limit and the orange projection.
    SetWindowPos(chart.Hwnd(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    const test::AboveAll above(chart.Hwnd());
    Pump();
    ASSERT_TRUE(test::SaveScreenshot(chart.Hwnd(), "usage_chart"));
    const test::WindowPixels shot = test::CaptureOwnPixels(chart.Hwnd());
    const auto has = [&](std::uint32_t rgb) {
        return std::count(shot.pixels.begin(), shot.pixels.end(), rgb) > 20;
    };
    EXPECT_TRUE(has(0x3366CC)) << "bars and the month's line";
    EXPECT_TRUE(has(0xD93A2F)) << "the limits";
    EXPECT_TRUE(has(0xF08A24)) << "the projection";

    // "流量": the month's bytes against the 3 GB allowance, with its line.
    WriteSetting(settings_, settings::kDataLimit, 3000);
    SendMessageW(GetDlgItem(chart.Hwnd(), IDC_CHART_DATA), BM_CLICK, 0, 0);
    const test::WindowPixels bytesShot = SettledShot(chart.Hwnd(), shot);
    EXPECT_EQ(chart.Measure(), UsageMeasure::kData);
    EXPECT_EQ(SendMessageW(GetDlgItem(chart.Hwnd(), IDC_CHART_DATA), BM_GETCHECK, 0, 0),
              BST_CHECKED);
    EXPECT_EQ(chart.Text(), L"流量图表");
    EXPECT_EQ(chart.Texts().summary,
              L"已用 1.29 GB，日均 129.0 MB，预计全月 3.87 GB；每月流量限额3 GB");
    EXPECT_EQ(chart.Texts().projection, L"按目前速度，将于12月14日达到每月流量限额");
    ASSERT_TRUE(test::SavePng(bytesShot, test::ScreenshotPath("usage_chart_bytes")));
    const auto shows = [&](std::uint32_t rgb) {
        return std::count(bytesShot.pixels.begin(), bytesShot.pixels.end(), rgb) > 20;
    };
    EXPECT_TRUE(shows(0xD93A2F)) << "the allowance";
    EXPECT_TRUE(shows(0xF08A24)) << "the projection";
    // Back with the keyboard: the arrow key moves to "用时" and chooses it.
    HWND dataButton = GetDlgItem(chart.Hwnd(), IDC_CHART_DATA);
    SetFocus(dataButton);
    PostMessageW(dataButton, WM_KEYDOWN, VK_LEFT, 0);
    Pump();
    EXPECT_EQ(chart.Measure(), UsageMeasure::kTime);
    EXPECT_EQ(chart.Text(), L"用时图表");

    // A session comes up: the tick counts it in today's bar and the month.
    ConnectionStatus status;
    status.SetName("ADSL");
    status.SetClientIp("10.0.0.2");
    status.type = 2;
    status.start = static_cast<std::uint32_t>(clock_.Now() - 600);
    status.online = 1;
    status.active = 1;
    PostMessageW(frame.Hwnd(), WM_CONNECTION_EVENT,
                 reinterpret_cast<WPARAM>(new ConnectionStatus(status)), 0);
    Pump();
    const std::int64_t session = frame.SessionElapsed();
    EXPECT_GE(session, 600);
    EXPECT_EQ(chart.Chart().used, 22 * kHour + session);
    EXPECT_EQ(chart.Chart().days[9].online, 7920 + session);

    // Another month picked: the chart shows it, without the running session.
    PickMonth(2026, 11);
    EXPECT_EQ(chart.Chart().month, (YearMonth{2026, 11}));
    EXPECT_EQ(chart.Chart().used, 3 * kHour);
    EXPECT_EQ(chart.Texts().projection, L"本期未达到每月限额");

    // Moved to a screen of twice the density: fonts and sizes follow.
    RECT twice{10, 10, 10 + 900, 10 + 700};
    SendMessageW(chart.Hwnd(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192),
                 reinterpret_cast<LPARAM>(&twice));
    EXPECT_EQ(chart.Dpi(), 192u);
    RECT now{};
    GetWindowRect(chart.Hwnd(), &now);
    EXPECT_EQ(now.right - now.left, 900);

    // Closed, it takes no more updates; the command opens it again, in the
    // mode last chosen.
    chart.SetMeasure(UsageMeasure::kData);
    SendMessageW(chart.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(chart.Hwnd(), nullptr);
    PickMonth(2026, 12);
    SendMessageW(frame.Hwnd(), WM_COMMAND, ID_USAGE_CHART, 0);
    ASSERT_NE(chart.Hwnd(), nullptr);
    EXPECT_EQ(chart.Chart().month, (YearMonth{2026, 12}));
    EXPECT_EQ(chart.Chart().measure, UsageMeasure::kData);
    EXPECT_EQ(SendMessageW(GetDlgItem(chart.Hwnd(), IDC_CHART_DATA), BM_GETCHECK, 0, 0),
              BST_CHECKED);
}

TEST_F(UsageChartTest, CsvExportWritesTheShownRowsThroughTheSaveDialog) {
    // A GBK name, a name that needs quoting, a session over midnight, and
    // bytes that differ each way.
    std::vector<SessionRecord> records{
        Finished(At(2026, 11, 22, 19), 7920),
        Finished(At(2026, 11, 21, 8, 30), 3725, 2, "\xbf\xed\xb4\xf8\xc1\xac\xbd\xd3"),
        Finished(At(2026, 11, 23, 23, 59, 30), 61, 2, "Home \"2\",PPP")};
    records[0].bytesReceived = 8000;
    records[0].bytesSent = 1000;
    CMainFrame& frame = OpenWithRecords(records);
    CHourlinkView& list = frame.HourlinkView();
    ASSERT_EQ(list.RowCount(), 3);
    list.SortByColumn(kColumnName);  // the list's order is the file's

    const std::wstring target = data_.File(L"十一月.csv");
    const test::Script script([&] {
        HWND dialog = test::FindDialog(L"导出CSV");
        if (!dialog) return true;
        SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(target.c_str()));
        SendMessageW(dialog, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(target.c_str()));
        test::Press(dialog, IDOK);
        return false;
    });
    SendMessageW(list.Hwnd(), WM_COMMAND, ID_EXPORT_CSV, 0);  // the list's context menu
    Pump();

    EXPECT_EQ(
        ReadFileBytes(target),
        "\xEF\xBB\xBF"
        "开始时间,结束时间,上网秒数,上网用时,上网分钟,类型,名称,客户机IP,接受字节,发送字节\r\n"
        "2026-11-22T19:00:00,2026-11-22T21:12:00,7920,2:12:00,132,ADSL上网,ADSL,10.0.0.2,"
        "8000,1000\r\n"
        "2026-11-23T23:59:30,2026-11-24T00:00:31,61,0:01:01,1,ADSL上网,"
        "\"Home \"\"2\"\",PPP\",10.0.0.2,0,0\r\n"
        "2026-11-21T08:30:00,2026-11-21T09:32:05,3725,1:02:05,63,ADSL上网,宽带连接,10.0.0.2,"
        "0,0\r\n");
    EXPECT_EQ(FilesIn(data_.path()), 2);  // adsl.bs and the export, no temporary file
}

TEST_F(UsageChartTest, AFailedWriteLeavesTheOldFileAndNoTemporaryOne) {
    const std::wstring target = data_.File(L"month.csv");
    ASSERT_EQ(CsvExport::WriteReplacing(target, "old"), 0u);
    ASSERT_EQ(CsvExport::WriteReplacing(target, "new, whole"), 0u);
    EXPECT_EQ(ReadFileBytes(target), "new, whole");

    // The target is a folder: the move fails, the folder stays, the
    // temporary file is gone and the user is told why.
    const std::wstring folder = data_.File(L"taken.csv");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const DWORD error = CsvExport::WriteReplacing(folder, "bytes");
    EXPECT_NE(error, 0u);
    EXPECT_EQ(FilesIn(data_.path()), 1);
    EXPECT_EQ(CsvExport::FailureText(folder, error).rfind(L"无法导出CSV文件 " + folder + L"\n", 0),
              0u);
    RemoveDirectoryW(folder.c_str());

    // A folder that does not exist: nothing is written anywhere.
    EXPECT_NE(CsvExport::WriteReplacing(data_.File(L"missing\\month.csv"), "bytes"), 0u);
    EXPECT_EQ(FilesIn(data_.path()), 1);
    EXPECT_EQ(CsvExport::SuggestedName({2026, 12}), L"Hourlink-2026-12.csv");
}

TEST(UsageChartResources, MenuItemsFollowTheExistingOnesWithTheirPrompts) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(menu, nullptr);
    HMENU view = GetSubMenu(menu, 2);  // 查看(&V)
    const int count = GetMenuItemCount(view);
    int report = -1;
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(view, i) == ID_HTML_REPORT) report = i;
    }
    ASSERT_GE(report, 0);
    EXPECT_EQ(GetMenuItemID(view, report + 1), static_cast<UINT>(ID_EXPORT_CSV));
    EXPECT_EQ(GetMenuItemID(view, count - 1), static_cast<UINT>(ID_USAGE_CHART));
    wchar_t text[64]{};
    GetMenuStringW(view, ID_USAGE_CHART, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"用时图表...");
    DestroyMenu(menu);

    HMENU list = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_LIST_MENU));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetMenuItemID(GetSubMenu(list, 0), 0), static_cast<UINT>(ID_SUM_SELECTION));
    EXPECT_EQ(GetMenuItemID(GetSubMenu(list, 0), 1), static_cast<UINT>(ID_EXPORT_CSV));
    DestroyMenu(list);

    // Fly-by help, as the status bar shows it.
    EXPECT_EQ(win::Field(win::LoadResourceString(ID_USAGE_CHART), 0),
              L"按天显示本月用时、限额和按目前速度的预计");
    EXPECT_EQ(win::Field(win::LoadResourceString(ID_EXPORT_CSV), 0),
              L"把列表中的记录导出为CSV文件");
}

}  // namespace
}  // namespace hourlink
