#include "shell/views/hourlink_view.h"

#include <algorithm>
#include <utility>

#include "core/settings/settings.h"
#include "res/main_window_res.h"
#include "res/resource.h"
#include "shell/win/dpi.h"
#include "shell/win/text.h"

namespace hourlink {

namespace {

// Each column is as wide as its title plus this many pixels at 96 DPI.
constexpr std::array<int, kHistoryColumnCount> kExtraWidth{110, 90, 10, 50, 15, 50, 50, 50, 50};

// The system's locale-aware, case-sensitive comparison of plain texts.
int LocaleCompare(std::wstring_view a, std::wstring_view b) {
    const int r = CompareStringW(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()),
                                 b.data(), static_cast<int>(b.size()));
    return r == 0 ? a.compare(b) : r - CSTR_EQUAL;
}

}  // namespace

CHourlinkView::~CHourlinkView() {
    Destroy();
    if (images_) ImageList_Destroy(images_);
}

HIMAGELIST CreateHistoryImages(int size) {
    const UINT strip = size == 20   ? IDB_HISTORY_IMAGES_20
                       : size == 24 ? IDB_HISTORY_IMAGES_24
                       : size == 32 ? IDB_HISTORY_IMAGES_32
                                    : IDB_HISTORY_IMAGES;
    return win::LoadImageStrip(strip, strip == IDB_HISTORY_IMAGES ? 16 : size,
                               GetSysColor(COLOR_WINDOW));
}

void CHourlinkView::SetDpi(int dpi, HFONT font) {
    args_.dpi = dpi;
    if (font) SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    HIMAGELIST images = CreateHistoryImages(ImageSizeForDpi(dpi));
    ListView_SetImageList(Hwnd(), images, LVSIL_SMALL);
    if (images_) ImageList_Destroy(images_);
    images_ = images;
    if (!header_.Hwnd()) return;
    const std::wstring titles = win::LoadResourceString(IDS_LIST_COLUMNS);
    for (int i = 0; i < kHistoryColumnCount; ++i) {
        const std::wstring title(win::Field(titles, static_cast<size_t>(i), L','));
        ListView_SetColumnWidth(Hwnd(), i, ColumnWidth(i, title));
    }
}

int CHourlinkView::ColumnWidth(int column, const std::wstring& title) const {
    return ListView_GetStringWidth(Hwnd(), title.c_str()) +
           win::Scale(kExtraWidth[static_cast<size_t>(column)], args_.dpi);
}

bool CHourlinkView::Create(Args args) {
    if (!args.model || !args.table || !args.settings || !args.files || !args.notifier ||
        !args.clock) {
        return false;
    }
    args_ = std::move(args);
    if (!widgets::CListViewEx::Create(args_.parent, args_.id,
                                      LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_OWNERDATA)) {
        return false;
    }
    ListView_SetExtendedListViewStyle(Hwnd(),
                                      LVS_EX_GRIDLINES | LVS_EX_FLATSB | LVS_EX_UNDERLINEHOT);

    SetDpi(args_.dpi, args_.font);

    if (HWND header = ListView_GetHeader(Hwnd())) header_.Attach(header);
    CreateColumns();

    reader_ = std::make_unique<CFixLenRecDoc>(*args_.files, *args_.clock, *args_.notifier);
    model_ = args_.model;
    return true;
}

void CHourlinkView::CreateColumns() {
    const std::wstring titles = win::LoadResourceString(IDS_LIST_COLUMNS);
    // Without redrawing between them: the list lays itself out again after
    // every column otherwise, which made the columns a tenth of the start-up.
    SendMessageW(Hwnd(), WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < kHistoryColumnCount; ++i) {
        std::wstring title(win::Field(titles, static_cast<size_t>(i), L','));
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.pszText = title.data();
        column.iSubItem = i;
        column.cx = ColumnWidth(i, title);
        ListView_InsertColumn(Hwnd(), i, &column);
    }
    SendMessageW(Hwnd(), WM_SETREDRAW, TRUE, 0);
}

void CHourlinkView::LoadRecords() {
    if (!model_) return;
    notLoaded_ = false;
    // The header tells whether the file can be read at all; the rows come
    // from the record table the watcher loaded.
    if (!reader_->OpenForRead(args_.recordPath)) {
        args_.notifier->ShowMessage(L"打开OpenForRead()失败");
    }
    model_->SetStartDay(ReadStartDay(*args_.settings));
    model_->ComputeWindow();
    Fill({});
}

void CHourlinkView::ShowMonth(int year, int month) {
    if (!model_) return;
    model_->SetStartDay(ReadStartDay(*args_.settings));
    model_->SetMonth({year, month});
    model_->ComputeWindow();
    Fill(treeFilter_);
}

void CHourlinkView::ApplyTreeSelection(std::wstring_view text) {
    if (notLoaded_ || !model_) return;
    treeFilter_ = TreeSelectionFilter(text, win::WideToGbk(text));
    Fill(treeFilter_);
}

void CHourlinkView::AddLiveRow(ListedRow row) {
    rows_.push_back(row);
    texts_.reset();
    const int count = static_cast<int>(rows_.size());
    ListView_SetItemCountEx(Hwnd(), count, LVSICF_NOSCROLL);
    ListView_EnsureVisible(Hwnd(), count - 1, FALSE);
}

void CHourlinkView::ListAgain() {
    if (model_) Fill({});
}

YearMonth CHourlinkView::Month() const {
    return model_ ? model_->Month() : YearMonth{};
}

YearMonth CHourlinkView::CurrentMonth() const {
    return model_ ? model_->CurrentMonth() : YearMonth{};
}

int CHourlinkView::StartDay() const {
    return model_ ? model_->StartDay() : kDefaultStartDay;
}

AccountingFigures CHourlinkView::Figures() const {
    return model_ ? model_->Figures() : AccountingFigures{};
}

MonthWindow CHourlinkView::Window() const {
    return model_ ? model_->Window() : MonthWindow{};
}

int CHourlinkView::RowCount() const {
    return ListView_GetItemCount(Hwnd());
}

void CHourlinkView::Fill(const HistoryFilter& filter) {
    HistoryList::Listing listing = model_->Fill(filter);
    SendMessageW(Hwnd(), WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(Hwnd());  // the selection goes with the rows
    rows_ = std::move(listing.rows);
    texts_.reset();
    const int count = static_cast<int>(rows_.size());
    ListView_SetItemCountEx(Hwnd(), count, 0);
    SendMessageW(Hwnd(), WM_SETREDRAW, TRUE, 0);
    if (count > 0) ListView_EnsureVisible(Hwnd(), count - 1, FALSE);
    InvalidateRect(Hwnd(), nullptr, TRUE);

    model_->Adjust(*args_.settings, model_->Month().month);
    firstRecordStart_ = listing.firstStart;
    if (args_.listed) args_.listed();
}

const HistoryRow& CHourlinkView::RowTexts(std::uint32_t record) const {
    if (!texts_ || texts_->record != record) {
        const std::optional<SessionRecord> found = args_.table->Get(record);
        texts_ = found ? MakeHistoryRow(*found, record) : HistoryRow{};
        texts_->record = record;
        texts_->texts[kColumnName] = win::GbkToWide(texts_->name);
    }
    return *texts_;
}

std::vector<SessionRecord> CHourlinkView::ShownRecords() const {
    std::vector<SessionRecord> records;
    records.reserve(rows_.size());
    for (const ListedRow& row : rows_) {
        if (auto record = args_.table->Get(row.record)) records.push_back(*record);
    }
    return records;
}

void CHourlinkView::GiveItem(LVITEMW& item) const {
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows_.size()) return;
    const ListedRow& row = rows_[static_cast<std::size_t>(item.iItem)];
    if (item.mask & LVIF_IMAGE) item.iImage = row.image;
    if ((item.mask & LVIF_TEXT) == 0 || !item.pszText || item.cchTextMax <= 0) return;
    std::wstring_view text;
    if (item.iSubItem >= 0 && item.iSubItem < kHistoryColumnCount) {
        text = RowTexts(row.record).texts[static_cast<std::size_t>(item.iSubItem)];
    }
    const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
    text.copy(item.pszText, n);
    item.pszText[n] = L'\0';
}

int CHourlinkView::FindItem(const NMLVFINDITEMW& find) const {
    // Typing in the list, or a search by text, looks at the first column.
    // LVFI_SUBSTRING means the same as LVFI_PARTIAL; this SDK lacks its name.
    constexpr UINT kSubstring = 0x0004;
    const LVFINDINFOW& info = find.lvfi;
    const bool partial = (info.flags & (LVFI_PARTIAL | kSubstring)) != 0;
    if ((info.flags & (LVFI_STRING | LVFI_PARTIAL | kSubstring)) == 0 || !info.psz) return -1;
    return FindTypedRow(rows_.size(), find.iStart, info.psz, partial, (info.flags & LVFI_WRAP) != 0,
                        [this](std::size_t at) -> std::wstring_view {
                            return RowTexts(rows_[at].record).texts[kColumnStart];
                        });
}

bool CHourlinkView::CanSumSelection() const {
    return SelectionTotals::Enabled(static_cast<int>(ListView_GetSelectedCount(Hwnd())));
}

void CHourlinkView::SumSelection() {
    SelectionTotals totals;
    for (int i = ListView_GetNextItem(Hwnd(), -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(Hwnd(), i, LVNI_SELECTED)) {
        totals.Add(ItemText(i, kColumnDuration), ItemText(i, kColumnMinutes));
    }
    if (!args_.appendText) return;
    for (const std::wstring& text : totals.Texts()) args_.appendText(text);
}

void CHourlinkView::SortByColumn(int column) {
    if (column < 0 || column >= kHistoryColumnCount) return;
    const bool swapped = sort_.Click(column);
    header_.SetSortImage(column, swapped);

    // Each row's text of the column, made once.
    std::vector<std::wstring> keys;
    keys.reserve(rows_.size());
    for (const ListedRow& row : rows_) {
        keys.push_back(RowTexts(row.record).texts[static_cast<std::size_t>(column)]);
    }
    const std::vector<std::uint32_t> order = SortOrder(keys, swapped, LocaleCompare);

    // The list knows its selection and focus by position: they move with
    // their rows, quietly, since what is selected has not changed.
    std::vector<bool> selected(rows_.size());
    for (int i = ListView_GetNextItem(Hwnd(), -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(Hwnd(), i, LVNI_SELECTED)) {
        selected[static_cast<std::size_t>(i)] = true;
    }
    const int focused = ListView_GetNextItem(Hwnd(), -1, LVNI_FOCUSED);
    std::vector<ListedRow> sorted;
    sorted.reserve(rows_.size());
    for (std::uint32_t i : order) sorted.push_back(rows_[i]);
    rows_ = std::move(sorted);

    movingSelection_ = true;
    ListView_SetItemState(Hwnd(), -1, 0, LVIS_SELECTED);
    for (std::size_t at = 0; at < order.size(); ++at) {
        const int to = static_cast<int>(at);
        if (selected[order[at]]) ListView_SetItemState(Hwnd(), to, LVIS_SELECTED, LVIS_SELECTED);
        if (static_cast<int>(order[at]) == focused) {
            ListView_SetItemState(Hwnd(), to, LVIS_FOCUSED, LVIS_FOCUSED);
        }
    }
    movingSelection_ = false;
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CHourlinkView::ShowContextMenu() {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_LIST_MENU));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    EnableMenuItem(popup, ID_SUM_SELECTION,
                   MF_BYCOMMAND | (CanSumSelection() ? MF_ENABLED : MF_GRAYED));
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Hwnd(), nullptr);
    DestroyMenu(menu);
}

LRESULT CHourlinkView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    // The commands of its menu: its own, and the frame's.
    if (msg == WM_COMMAND && lp == 0) {
        const UINT id = LOWORD(wp);
        if (id == ID_SUM_SELECTION) {
            if (CanSumSelection()) SumSelection();
        } else if (args_.command) {
            args_.command(id);
        }
        return 0;
    }
    return widgets::CListViewEx::WndProc(msg, wp, lp);
}

bool CHourlinkView::OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lp);
        if (header->code == LVN_COLUMNCLICK) {
            SortByColumn(reinterpret_cast<const NMLISTVIEW*>(lp)->iSubItem);
            result = 0;
            return true;
        }
        if (header->code == LVN_GETDISPINFOW) {
            GiveItem(reinterpret_cast<NMLVDISPINFOW*>(lp)->item);
            result = 0;
            return true;
        }
        if (header->code == LVN_ODFINDITEMW) {
            result = FindItem(*reinterpret_cast<const NMLVFINDITEMW*>(lp));
            return true;
        }
        if (header->code == NM_RCLICK) {
            ShowContextMenu();
            result = 0;
            return true;
        }
        // A virtual list tells a range's change (a shift-click) at once.
        if (header->code == LVN_ITEMCHANGED || header->code == LVN_ODSTATECHANGED) {
            UINT before = 0;
            UINT after = 0;
            if (header->code == LVN_ITEMCHANGED) {
                const auto* change = reinterpret_cast<const NMLISTVIEW*>(lp);
                before = change->uOldState;
                after = change->uNewState;
            } else {
                const auto* change = reinterpret_cast<const NMLVODSTATECHANGE*>(lp);
                before = change->uOldState;
                after = change->uNewState;
            }
            if (((before ^ after) & LVIS_SELECTED) && !movingSelection_ && args_.selectionChanged) {
                args_.selectionChanged();
            }
            return false;
        }
        return false;
    }
    return widgets::CListViewEx::OnReflected(msg, wp, lp, result);
}

}  // namespace hourlink
