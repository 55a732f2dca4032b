// The history list in a window of its own, on a record file written for the
// test: the month's rows and totals, sorting by header clicks, the selection
// totals in the text pane, the live row. One month is saved as
// build/screenshots/history_view.png.
#include "shell/views/hourlink_view.h"

#include <gtest/gtest.h>

#include "test_records.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "core/records/fix_len_rec_doc.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "res/resource.h"
#include "screenshot.h"
#include "shell/platform/win32_file_system.h"

namespace hourlink {
namespace {

class RecordingNotifier final : public Notifier {
  public:
    void ShowMessage(std::wstring_view text) override { messages.emplace_back(text); }
    void ReportError(std::wstring_view, int) override {}
    std::vector<std::wstring> messages;
};

// The frame stand-in: parent of the list, counting its listings.
class TestFrame : public win::Window {
  public:
    bool Open() {
        win::WindowClass wc;
        wc.name = L"HourlinkHistoryTestFrame";
        wc.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        win::CreateArgs args;
        args.title = L"Hourlink";
        args.x = 0;
        args.y = 0;
        args.width = 1000;
        args.height = 420;
        return Create(wc, args);
    }
    int listings = 0;
};

using test::At;

SessionRecord Session(std::uint32_t start, std::int32_t seconds, int type, const char* name,
                      const char* ip, std::uint32_t sent = 0) {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = start;
    r.type = static_cast<std::uint8_t>(type);
    r.SetName(name);
    r.SetClientIp(ip);
    r.Complete(seconds);
    r.bytesSent = sent;
    r.bytesReceived = sent * 8;
    return r;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class HourlinkViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        wchar_t name[32];
        swprintf(name, 32, L"hourlink-history-%lu", GetCurrentProcessId());
        dir_ = std::wstring(temp) + name;
        CreateDirectoryW(dir_.c_str(), nullptr);
        path_ = dir_ + L"\\adsl.bs";
        DeleteFileW(path_.c_str());

        // March 2004 with start day 1, after a February session.
        records_ = {
            Session(At(2004, 2, 20, 9), 1800, 2, "ADSL", "10.0.0.2"),
            Session(At(2004, 3, 2, 8), 3600, 2, "ADSL", "10.0.0.2", 52000),
            // "拨号连接" in GBK, as the record file stores names.
            Session(At(2004, 3, 5, 20), 35999, 1, "\xB2\xA6\xBA\xC5\xC1\xAC\xBD\xD3", "10.0.0.9"),
            Session(At(2004, 3, 9, 7), 36000, 3, "Office VPN", "192.168.10.4", 4096),
            Session(At(2004, 3, 12, 19), 3600, 2, "ADSL", "10.0.0.2"),
            Session(At(2004, 3, 25, 8), 3600, 2, "ADSL", "10.0.0.10", 777),
        };
        CFixLenRecDoc writer(files_, clock_, notifier_);
        ASSERT_TRUE(writer.OpenForUpdate(path_));
        for (const SessionRecord& r : records_) ASSERT_TRUE(writer.Append(r));
        ASSERT_EQ(writer.LoadTable(table_), CFixLenRecDoc::LoadResult::Loaded);
        writer.Close();

        WriteSetting(settings_, settings::kStartDate, 1);
        ASSERT_TRUE(frame_.Open());
        ShowWindow(frame_.Hwnd(), SW_SHOWNOACTIVATE);
        CHourlinkView::Args args;
        args.parent = frame_.Hwnd();
        args.id = 0xE900;
        model_.Start(1);
        args.model = &model_;
        args.table = &table_;
        args.settings = &settings_;
        args.files = &files_;
        args.notifier = &notifier_;
        args.clock = &clock_;
        args.recordPath = path_;
        args.appendText = [this](std::wstring_view text) { pane_.emplace_back(text); };
        args.listed = [this] { ++frame_.listings; };
        ASSERT_TRUE(view_.Create(std::move(args)));
        RECT client{};
        GetClientRect(frame_.Hwnd(), &client);
        MoveWindow(view_.Hwnd(), 0, 0, client.right, client.bottom, TRUE);
    }

    void TearDown() override {
        view_.Destroy();
        frame_.Destroy();
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(dir_.c_str());
    }

    std::vector<std::wstring> Column(int column) {
        std::vector<std::wstring> texts;
        for (int i = 0; i < view_.RowCount(); ++i) texts.push_back(view_.ItemText(i, column));
        return texts;
    }

    void ClickHeader(int column) {
        HWND header = ListView_GetHeader(view_.Hwnd());
        RECT r{};
        ASSERT_TRUE(Header_GetItemRect(header, column, &r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(header, WM_LBUTTONUP, 0, at);
        Pump();
    }

    // A LAN session from 11:30 on the 25th begins, as the session core passes
    // it on: the model takes the session, the view its live row.
    ConnectionStatus StartLiveSession(std::uint8_t continuation = 0) {
        ConnectionStatus status;
        status.online = 1;
        status.start = At(2004, 3, 25, 11, 30);
        status.type = 2;
        status.continuation = continuation;
        status.SetName("ADSL");
        status.SetClientIp("10.0.0.10");
        auto row = model_.OnSessionStart(status);
        EXPECT_TRUE(row);
        if (row) view_.AddLiveRow(std::move(*row));
        return status;
    }

    void Select(std::initializer_list<int> rows) {
        ListView_SetItemState(view_.Hwnd(), -1, 0, LVIS_SELECTED);
        for (int row : rows) ListView_SetItemState(view_.Hwnd(), row, LVIS_SELECTED, LVIS_SELECTED);
    }

    std::wstring dir_;
    std::wstring path_;
    std::vector<SessionRecord> records_;
    Win32FileSystem files_;
    ManualClock clock_{At(2004, 3, 25, 12)};
    RecordingNotifier notifier_;
    RecordTable table_;
    HistoryList model_{table_, clock_};
    MemorySettingsStore settings_;
    TestFrame frame_;
    CHourlinkView view_;
    std::vector<std::wstring> pane_;
};

TEST_F(HourlinkViewTest, ListsTheMonthFromTheRecordFileWithItsTotals) {
    EXPECT_EQ(view_.Month(), (YearMonth{2004, 3}));
    EXPECT_EQ(view_.RowCount(), 0);
    view_.ApplyTreeSelection(L"ADSL上网");  // ignored before the records are loaded
    EXPECT_EQ(view_.RowCount(), 0);

    view_.LoadRecords();
    EXPECT_TRUE(notifier_.messages.empty());
    ASSERT_EQ(view_.RowCount(), 5);
    const std::int64_t total = 3600 + 35999 + 36000 + 3600 + 3600;
    const std::int64_t billed = 3600 + 36000 + 36000 + 3600 + 3600;
    EXPECT_EQ(view_.Figures(), (AccountingFigures{total, billed, 3600, (52000 + 4096 + 777) * 9}));
    EXPECT_EQ(view_.FirstRecordStart(), At(2004, 3, 2, 8));
    EXPECT_EQ(frame_.listings, 1);

    // The cells of a row, the GBK name shown as text.
    EXPECT_EQ(view_.ItemText(1, kColumnStart), L"2004/03/05 20:00:00");
    EXPECT_EQ(view_.ItemText(1, kColumnEnd), L"2004/03/06 05:59:59");
    EXPECT_EQ(view_.ItemText(1, kColumnDuration), L"9:59:59");
    EXPECT_EQ(view_.ItemText(1, kColumnName), L"拨号连接");
    EXPECT_EQ(view_.ItemText(1, kColumnMinutes), L"600");
    EXPECT_EQ(view_.ItemText(1, kColumnType), L"拨号上网");
    EXPECT_EQ(view_.ItemText(0, kColumnSent), L"52000");
    EXPECT_EQ(view_.ItemText(0, kColumnReceived), L"416000");
    EXPECT_EQ(view_.ItemText(1, kColumnSent), L"");
    // A search by text, as typing in the list makes, finds a row by its start.
    LVFINDINFOW find{LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP, L"2004/03/1", 0, {}, 0};
    EXPECT_EQ(ListView_FindItem(view_.Hwnd(), -1, &find), 3);
    find.psz = L"2004/03/0";
    EXPECT_EQ(ListView_FindItem(view_.Hwnd(), 3, &find), 0);

    // The tree's choices filter the month; the month bar's picks change it.
    view_.ApplyTreeSelection(L"虚拟专用网");
    EXPECT_EQ(view_.RowCount(), 1);
    EXPECT_EQ(view_.Figures().monthTotal, 36000);
    view_.ShowMonth(2004, 2);
    EXPECT_EQ(view_.RowCount(), 0);  // the VPN filter still holds
    view_.ApplyTreeSelection(L"计算机上网设备列表");
    EXPECT_EQ(view_.RowCount(), 1);
    EXPECT_EQ(view_.Figures(), (AccountingFigures{1800, 1800, 0}));
    view_.ShowMonth(2004, 5);
    EXPECT_EQ(view_.RowCount(), 0);
    EXPECT_EQ(view_.FirstRecordStart(), 0);
    EXPECT_EQ(frame_.listings, 5);
}

TEST_F(HourlinkViewTest, AFileThatCannotBeOpenedIsReportedAndTheTableStillListed) {
    DeleteFileW(path_.c_str());
    view_.LoadRecords();
    ASSERT_EQ(notifier_.messages.size(), 1u);
    EXPECT_EQ(notifier_.messages[0], L"打开OpenForRead()失败");
    EXPECT_EQ(view_.RowCount(), 5);
}

TEST_F(HourlinkViewTest, HeaderClicksSortAscendingThenDescending) {
    view_.LoadRecords();
    Select({1, 2});  // the sessions of 9:59:59 and 10:00:00
    ListView_SetItemState(view_.Hwnd(), 2, LVIS_FOCUSED, LVIS_FOCUSED);
    const auto selected = [this] {
        std::vector<int> rows;
        for (int i = ListView_GetNextItem(view_.Hwnd(), -1, LVNI_SELECTED); i >= 0;
             i = ListView_GetNextItem(view_.Hwnd(), i, LVNI_SELECTED)) {
            rows.push_back(i);
        }
        return rows;
    };
    ClickHeader(kColumnDuration);
    EXPECT_EQ(view_.Header().SortColumn(), kColumnDuration);
    EXPECT_FALSE(view_.Header().Descending());
    EXPECT_EQ(
        Column(kColumnDuration),
        (std::vector<std::wstring>{L"1:00:00", L"1:00:00", L"1:00:00", L"9:59:59", L"10:00:00"}));
    // The selection and the focus move with their rows.
    EXPECT_EQ(selected(), (std::vector<int>{3, 4}));
    EXPECT_EQ(ListView_GetNextItem(view_.Hwnd(), -1, LVNI_FOCUSED), 4);
    ClickHeader(kColumnDuration);
    EXPECT_TRUE(view_.Header().Descending());
    EXPECT_EQ(Column(kColumnDuration).front(), L"10:00:00");
    EXPECT_EQ(Column(kColumnDuration)[1], L"9:59:59");
    EXPECT_EQ(selected(), (std::vector<int>{0, 1}));
    EXPECT_EQ(ListView_GetNextItem(view_.Hwnd(), -1, LVNI_FOCUSED), 0);

    // Another column starts ascending: addresses part by part.
    ClickHeader(kColumnClientIp);
    EXPECT_FALSE(view_.Header().Descending());
    EXPECT_EQ(Column(kColumnClientIp),
              (std::vector<std::wstring>{L"10.0.0.2", L"10.0.0.2", L"10.0.0.9", L"10.0.0.10",
                                         L"192.168.10.4"}));
    ClickHeader(kColumnStart);
    ClickHeader(kColumnStart);
    EXPECT_EQ(Column(kColumnStart).front(), L"2004/03/25 08:00:00");
    EXPECT_EQ(Column(kColumnStart).back(), L"2004/03/02 08:00:00");
    // The header draws the sorted column itself.
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(ListView_GetHeader(view_.Hwnd()), kColumnStart, &item);
    EXPECT_TRUE(item.fmt & HDF_OWNERDRAW);
}

TEST_F(HourlinkViewTest, SelectionTotalsOfThreeRowsOfAnHour) {
    view_.LoadRecords();
    Select({});
    EXPECT_FALSE(view_.CanSumSelection());
    Select({0});
    EXPECT_FALSE(view_.CanSumSelection());
    Select({0, 3, 4});  // the three sessions of 1:00:00
    ASSERT_TRUE(view_.CanSumSelection());
    // The context menu's command, as the menu sends it to the view.
    SendMessageW(view_.Hwnd(), WM_COMMAND, ID_SUM_SELECTION, 0);
    ASSERT_EQ(pane_.size(), 3u);
    EXPECT_EQ(pane_[0], L"所选3项");
    EXPECT_EQ(pane_[1], L"用时: 0天\r\n03小时00分00秒\r\n");
    EXPECT_EQ(pane_[2], L"所选项使用分钟: 180分钟\r\n");
}

TEST_F(HourlinkViewTest, RunningSessionGetsALiveRowAndIsCompletedAtItsEnd) {
    view_.LoadRecords();
    ConnectionStatus status = StartLiveSession();
    ASSERT_EQ(view_.RowCount(), 6);
    EXPECT_EQ(view_.ItemText(5, kColumnStart), L"2004/03/25 11:30:00");
    EXPECT_EQ(view_.ItemText(5, kColumnName), L"ADSL");
    EXPECT_EQ(view_.ItemText(5, kColumnType), L"ADSL上网");
    EXPECT_EQ(view_.ItemText(5, kColumnClientIp), L"10.0.0.10");
    EXPECT_EQ(table_.Size(), records_.size() + 1);
    // A refill shows the blanks of the running session.
    view_.ShowMonth(2004, 3);
    ASSERT_EQ(view_.RowCount(), 6);
    EXPECT_EQ(view_.ItemText(5, kColumnDuration), std::wstring(kOpenCell));

    status.online = 0;
    status.duration = 1800;
    status.end = status.start + 1800;
    status.billed = 1800;
    model_.OnSessionEnd(status, 100, 200);
    view_.ListAgain();
    ASSERT_EQ(view_.RowCount(), 6);
    EXPECT_EQ(view_.ItemText(5, kColumnDuration), L"0:30:00");
    EXPECT_EQ(view_.ItemText(5, kColumnSent), L"200");
    EXPECT_EQ(view_.Figures().todayTotal, 3600 + 1800);
}

// Picture `image` of `images` drawn on `background`, as the list draws it.
test::WindowPixels Picture(HIMAGELIST images, int image, COLORREF background) {
    int cx = 0;
    int cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    test::WindowPixels picture = test::PaintedPixels(cx, cy, [&](HDC dc) {
        const RECT r{0, 0, cx, cy};
        HBRUSH brush = CreateSolidBrush(background);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        ImageList_Draw(images, image, dc, 0, 0, ILD_NORMAL);
    });
    for (std::uint32_t& c : picture.pixels) c &= 0xFFFFFF;
    return picture;
}

// Whether `picture` shows, pixel for pixel, somewhere inside `area` of `shot`.
bool Shows(const test::WindowPixels& shot, const test::WindowPixels& picture, const RECT& area) {
    for (int y = std::max<int>(0, area.top); y + picture.height <= area.bottom; ++y) {
        for (int x = std::max<int>(0, area.left); x + picture.width <= area.right; ++x) {
            bool same = y + picture.height <= shot.height && x + picture.width <= shot.width;
            for (int i = 0; same && i < picture.width * picture.height; ++i) {
                const auto at = static_cast<size_t>((y + i / picture.width) * shot.width + x +
                                                    i % picture.width);
                same = (shot.pixels[at] & 0xFFFFFF) == picture.pixels[static_cast<size_t>(i)];
            }
            if (same) return true;
        }
    }
    return false;
}

TEST_F(HourlinkViewTest, ScreenshotShowsTheLiveRowsPicture) {
    view_.LoadRecords();
    ClickHeader(kColumnStart);
    Select({1, 2});
    // A running session that continues a dropped one still shows the plain face.
    StartLiveSession(1);
    const std::vector<std::wstring> starts = Column(kColumnStart);
    const auto live = std::find(starts.begin(), starts.end(), L"2004/03/25 11:30:00");
    ASSERT_NE(live, starts.end());

    SetForegroundWindow(frame_.Hwnd());
    SetFocus(view_.Hwnd());
    SetWindowPos(frame_.Hwnd(), HWND_TOP, 0, 0, 1000, 420, SWP_SHOWWINDOW);
    const test::AboveAll above(frame_.Hwnd());
    RedrawWindow(frame_.Hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    for (int i = 0; i < 10; ++i) {
        Pump();
        Sleep(50);
    }
    const test::WindowPixels shot = test::CaptureOwnPixels(frame_.Hwnd());
    const std::string path = test::ScreenshotPath("history_view");
    ASSERT_TRUE(test::SavePng(shot, path)) << path;

    // The live row's picture cell, in the captured window's pixels.
    RECT cell{};
    ListView_GetItemRect(view_.Hwnd(), static_cast<int>(live - starts.begin()), &cell, LVIR_ICON);
    MapWindowPoints(view_.Hwnd(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    RECT window{};
    GetWindowRect(frame_.Hwnd(), &window);
    OffsetRect(&cell, -window.left, -window.top);
    HIMAGELIST images = ListView_GetImageList(view_.Hwnd(), LVSIL_SMALL);
    const COLORREF back = ListView_GetBkColor(view_.Hwnd());
    const test::WindowPixels normal = Picture(images, kImageNormal, back);
    ASSERT_NE(normal.pixels, Picture(images, kImageContinued, back).pixels);
    EXPECT_TRUE(Shows(shot, normal, cell)) << "the live row's picture is not in its cell";
}

}  // namespace
}  // namespace hourlink
