#include "shell/views/hourlink_view.h"

#include <algorithm>
#include <limits>
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
                                      LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS)) {
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

void CHourlinkView::AddLiveRow(HistoryRow row) {
    AddRow(std::move(row));
    ListView_EnsureVisible(Hwnd(), ListView_GetItemCount(Hwnd()) - 1, FALSE);
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
    SendMessageW(Hwnd(), WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(Hwnd());
    rows_.clear();
    rowRecords_.clear();
    HistoryList::Listing listing = model_->Fill(filter);
    rows_.reserve(listing.rows.size());
    ListView_SetItemCount(Hwnd(), static_cast<int>(listing.rows.size()));
    for (HistoryRow& row : listing.rows) AddRow(std::move(row));
    SendMessageW(Hwnd(), WM_SETREDRAW, TRUE, 0);
    const int count = ListView_GetItemCount(Hwnd());
    if (count > 0) ListView_EnsureVisible(Hwnd(), count - 1, FALSE);
    InvalidateRect(Hwnd(), nullptr, TRUE);

    model_->Adjust(*args_.settings, model_->Month().month);
    firstRecordStart_ = listing.firstStart;
    if (args_.listed) args_.listed();
}

CHourlinkView::RowTexts::RowTexts(const std::array<std::wstring, kHistoryColumnCount>& texts) {
    std::size_t length = 0;
    for (const std::wstring& text : texts) length += text.size();
    joined_.reserve(length);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        // A cell's text is a few dozen characters at most; a longer one is cut
        // rather than let the offsets wrap.
        const std::size_t room = std::numeric_limits<std::uint16_t>::max() - joined_.size();
        joined_.append(texts[i], 0, room);
        ends_[i] = static_cast<std::uint16_t>(joined_.size());
    }
}

std::wstring_view CHourlinkView::RowTexts::Text(std::size_t column) const {
    if (column >= ends_.size()) return {};
    const std::size_t begin = column == 0 ? 0 : ends_[column - 1];
    return std::wstring_view(joined_).substr(begin, ends_[column] - begin);
}

void CHourlinkView::AddRow(HistoryRow row) {
    auto texts = std::move(row.texts);
    texts[kColumnName] = win::GbkToWide(row.name);
    const LPARAM key = static_cast<LPARAM>(rows_.size());
    rows_.emplace_back(texts);
    rowRecords_.push_back(row.record);

    // The list asks for the texts when it shows them (LVN_GETDISPINFO): they
    // are kept once, in rows_, not a second time by the list.
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = ListView_GetItemCount(Hwnd());
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.iImage = row.image;
    item.lParam = key;
    const int at = ListView_InsertItem(Hwnd(), &item);
    if (at < 0) return;
    for (int column = 1; column < kHistoryColumnCount; ++column) {
        ListView_SetItemText(Hwnd(), at, column, LPSTR_TEXTCALLBACKW);
    }
}

std::vector<SessionRecord> CHourlinkView::ShownRecords() const {
    std::vector<SessionRecord> records;
    const int count = ListView_GetItemCount(Hwnd());
    for (int i = 0; i < count; ++i) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        if (!ListView_GetItem(Hwnd(), &item)) continue;
        const auto key = static_cast<std::size_t>(item.lParam);
        if (key >= rowRecords_.size()) continue;
        if (auto record = args_.table->Get(rowRecords_[key])) records.push_back(*record);
    }
    return records;
}

void CHourlinkView::GiveItemText(LVITEMW& item) const {
    if ((item.mask & LVIF_TEXT) == 0 || !item.pszText || item.cchTextMax <= 0) return;
    LVITEMW key{};
    key.mask = LVIF_PARAM;
    key.iItem = item.iItem;
    const auto row =
        ListView_GetItem(Hwnd(), &key) ? static_cast<size_t>(key.lParam) : rows_.size();
    const auto column = static_cast<size_t>(item.iSubItem);
    const std::wstring_view text = row < rows_.size() ? rows_[row].Text(column) : std::wstring_view();
    const size_t n = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
    text.copy(item.pszText, n);
    item.pszText[n] = L'\0';
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
    ListView_SortItems(Hwnd(), CompareRows, reinterpret_cast<LPARAM>(this));
}

int CALLBACK CHourlinkView::CompareRows(LPARAM a, LPARAM b, LPARAM self) {
    const auto* view = reinterpret_cast<const CHourlinkView*>(self);
    if (view->sort_.Swapped()) std::swap(a, b);
    const auto column = static_cast<size_t>(view->sort_.Column());
    const auto& rows = view->rows_;
    const auto ia = static_cast<size_t>(a);
    const auto ib = static_cast<size_t>(b);
    if (ia >= rows.size() || ib >= rows.size()) return 0;
    return CompareSortTexts(rows[ia].Text(column), rows[ib].Text(column), LocaleCompare);
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
            GiveItemText(reinterpret_cast<NMLVDISPINFOW*>(lp)->item);
            result = 0;
            return true;
        }
        if (header->code == NM_RCLICK) {
            ShowContextMenu();
            result = 0;
            return true;
        }
        if (header->code == LVN_ITEMCHANGED) {
            const auto* change = reinterpret_cast<const NMLISTVIEW*>(lp);
            if (((change->uOldState ^ change->uNewState) & LVIS_SELECTED) &&
                args_.selectionChanged) {
                args_.selectionChanged();
            }
            return false;
        }
        return false;
    }
    return widgets::CListViewEx::OnReflected(msg, wp, lp, result);
}

}  // namespace hourlink
