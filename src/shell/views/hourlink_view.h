// CHourlinkView: the history list. One row per session of the accounting month
// shown, plus a live row for the session that runs now; sums the month's and
// today's time for the frame, sorts by a column on a header click and totals
// the selected rows into the text pane ("计算总时间").
//
// The frame's part:
//  - Create() when it builds its views;
//  - LoadRecords() once the watcher has loaded the record table;
//  - ShowMonth() when the month bar's picker changes (and after the options);
//  - AddLiveRow() with a session's row at its start, ListAgain() after its end
//    or when the month shown moved on;
//  - after each listing (Args::listed), Figures() and FirstRecordStart() for
//    its texts and limits;
//  - SumSelection() and CanSumSelection() for command 32789, which its own
//    menu carries too;
//  - ShownRecords() for "导出CSV...", which its menu hands to the frame.
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/base/clock.h"
#include "core/base/file_system.h"
#include "core/base/notifier.h"
#include "core/history/history_list.h"
#include "core/net/connection_watcher.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "core/settings/settings_store.h"
#include "shell/widgets/arrow_header_ctrl.h"
#include "shell/widgets/list_view_ex.h"

namespace hourlink {

// The sixteen pictures of the history list and the device tree (the strip
// IDB_HISTORY_IMAGES, magenta transparent) drawn at `size` pixels (16, 20, 24
// or 32), as a new image list the caller owns, on the window background colour.
HIMAGELIST CreateHistoryImages(int size = 16);

class CHourlinkView : public widgets::CListViewEx {
  public:
    struct Args {
        HWND parent = nullptr;
        int id = 0;
        int dpi = 96;
        HFONT font = nullptr;          // not owned; the system's when null
        HistoryList* model = nullptr;  // the months, the window and the sums
        RecordTable* table = nullptr;
        SettingsStore* settings = nullptr;
        FileSystem* files = nullptr;
        Notifier* notifier = nullptr;  // "打开OpenForRead()失败"
        const Clock* clock = nullptr;
        std::wstring recordPath;  // "adsl.bs" in the data directory
        // Appends a text to the text pane.
        std::function<void(std::wstring_view)> appendText;
        // The rows selected have changed (the frame updates its commands).
        std::function<void()> selectionChanged;
        // A month has been listed again: the figures are new.
        std::function<void()> listed;
        // A command of its menu that is not the list's own ("导出CSV...").
        std::function<void(UINT id)> command;
    };

    CHourlinkView() = default;
    ~CHourlinkView() override;

    // Creates the list with its columns, image strip and sorting header; the
    // model chose the month shown at start.
    bool Create(Args args);

    // The window moved to a screen of another DPI: the pictures and the
    // columns' widths for `dpi`, the texts in `font` (not owned).
    void SetDpi(int dpi, HFONT font);

    // The record table has been (re)loaded: reads the file's header and lists
    // the month shown with no filter.
    void LoadRecords();
    // Lists the accounting month (year, month) with the current tree filter.
    void ShowMonth(int year, int month);
    // The device tree's selection; ignored until the records are loaded.
    void ApplyTreeSelection(std::wstring_view text);
    // The running session's row, added at the end of the list.
    void AddLiveRow(ListedRow row);
    // Lists the month shown again with no filter, as after a session's end.
    void ListAgain();

    // "计算总时间": appends the count, time and minutes of the selected rows to
    // the text pane. Available with more than one row selected.
    void SumSelection();
    bool CanSumSelection() const;

    // The month's figures of the last listing, corrected by Property/Adjust,
    // and today's, as they stand now (a day roll clears them at once).
    AccountingFigures Figures() const;
    std::int64_t FirstRecordStart() const { return firstRecordStart_; }
    // The month listed, the current accounting month of this run, and the
    // start day the listed month's period was computed with.
    YearMonth Month() const;
    YearMonth CurrentMonth() const;
    bool ShowingCurrentMonth() const { return Month() == CurrentMonth(); }
    int StartDay() const;
    MonthWindow Window() const;
    // The list's model, which owns the month shown and its sums (the usage
    // chart reads them from it); null before Create.
    const HistoryList* Model() const { return model_; }
    // The records of the rows shown, in the list's order (a sort included);
    // what "导出CSV..." writes.
    std::vector<SessionRecord> ShownRecords() const;
    bool Loaded() const { return !notLoaded_; }
    int RowCount() const;
    // Sorts by `column` as a click on its header does.
    void SortByColumn(int column);
    widgets::CArrowHeaderCtrl& Header() { return header_; }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    void CreateColumns();
    // Each column as wide as its title with its margin at the DPI.
    int ColumnWidth(int column, const std::wstring& title) const;
    void Fill(const HistoryFilter& filter);
    // Fills an LVN_GETDISPINFO request with the picture and text of its row.
    void GiveItem(LVITEMW& item) const;
    // Answers an LVN_ODFINDITEM search: the row found, or -1.
    int FindItem(const NMLVFINDITEMW& find) const;
    // The texts of the record at table index `record`, made once for the
    // cells of a row drawn one after the other.
    const HistoryRow& RowTexts(std::uint32_t record) const;
    void ShowContextMenu();

    Args args_;
    std::unique_ptr<CFixLenRecDoc> reader_;
    HistoryList* model_ = nullptr;  // Args::model
    widgets::CArrowHeaderCtrl header_;
    HIMAGELIST images_ = nullptr;
    ColumnSortState sort_;
    HistoryFilter treeFilter_;
    bool notLoaded_ = true;
    std::int64_t firstRecordStart_ = 0;
    // The rows in the list's order. The list is virtual (LVS_OWNERDATA): it
    // holds no items and asks for what it draws, whose texts are made from
    // the table then. A month of thousands of sessions costs 8 bytes a row.
    std::vector<ListedRow> rows_;
    // The texts of the row made last, the name converted.
    mutable std::optional<HistoryRow> texts_;
    // A sort is moving the selection with the rows.
    bool movingSelection_ = false;
};

}  // namespace hourlink
