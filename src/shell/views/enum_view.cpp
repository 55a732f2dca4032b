#include "shell/views/enum_view.h"

#include "res/main_window_res.h"
#include "shell/platform/phonebook_editor.h"
#include "shell/views/hourlink_view.h"
#include "shell/win/dpi.h"
#include "shell/win/text.h"

namespace hourlink {

namespace {

constexpr LPARAM kNoEntry = -1;

}  // namespace

bool CEnumView::ShowPictures() {
    if (images_ || !Hwnd()) return false;
    images_ = CreateHistoryImages(ImageSizeForDpi(args_.dpi));
    TreeView_SetImageList(Hwnd(), images_, TVSIL_NORMAL);
    return true;
}

void CEnumView::SetDpi(int dpi, HFONT font) {
    args_.dpi = dpi;
    if (font) SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (!images_) return;
    HIMAGELIST images = CreateHistoryImages(ImageSizeForDpi(dpi));
    TreeView_SetImageList(Hwnd(), images, TVSIL_NORMAL);
    if (images_) ImageList_Destroy(images_);
    images_ = images;
}

int CEnumView::WidthForRoot() const {
    RECT text{};
    if (!root_ || !TreeView_GetItemRect(Hwnd(), root_, &text, TRUE)) return 0;
    // The text's right edge from the client area's left, the borders and a
    // little air.
    RECT window{};
    RECT client{};
    GetWindowRect(Hwnd(), &window);
    GetClientRect(Hwnd(), &client);
    const int scrolled = GetScrollPos(Hwnd(), SB_HORZ);
    return text.right + scrolled + (window.right - window.left - client.right) +
           win::Scale(4, args_.dpi);
}

CEnumView::~CEnumView() {
    Destroy();
    if (images_) ImageList_Destroy(images_);
}

bool CEnumView::Create(Args args) {
    if (Hwnd()) return false;
    args_ = std::move(args);
    HWND tree = CreateWindowExW(0, WC_TREEVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES |
                                    TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                0, 0, 0, 0, args_.parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(args_.id)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!tree || !Attach(tree)) {
        if (tree) DestroyWindow(tree);
        return false;
    }

    if (args_.font) SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(args_.font), FALSE);

    // The root: the host's name directly followed by "计算机上网设备列表".
    root_ = Insert(TVI_ROOT,
                   win::GbkToWide(args_.devices.hostName) + win::LoadResourceString(IDS_TREE_ROOT),
                   kTreeImageComputer, kNoEntry);
    groups_[static_cast<int>(DeviceGroup::kDialUp)] =
        Insert(root_, win::LoadResourceString(IDS_TREE_DIAL_UP), kTreeImageDialUp, kNoEntry);
    groups_[static_cast<int>(DeviceGroup::kBroadband)] =
        Insert(root_, win::LoadResourceString(IDS_TREE_BROADBAND), kTreeImageNetwork, kNoEntry);
    groups_[static_cast<int>(DeviceGroup::kVpn)] =
        Insert(root_, win::LoadResourceString(IDS_TREE_VPN), kTreeImageNetwork, kNoEntry);
    groups_[static_cast<int>(DeviceGroup::kOther)] =
        Insert(root_, win::LoadResourceString(IDS_TREE_OTHER), kTreeImageNetwork, kNoEntry);

    marks_ = DeviceMarks(GroupDevices(args_.devices));
    const auto& items = marks_.Items();
    entryItems_.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        entryItems_.push_back(Insert(Group(items[i].group), win::GbkToWide(items[i].text),
                                     kTreeImageEntry, static_cast<LPARAM>(i)));
    }
    TreeView_Expand(Hwnd(), root_, TVE_EXPAND);
    for (HTREEITEM group : groups_) TreeView_Expand(Hwnd(), group, TVE_EXPAND);
    return true;
}

HTREEITEM CEnumView::Insert(HTREEITEM parent, const std::wstring& text, int image, LPARAM data) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = data;
    return TreeView_InsertItem(Hwnd(), &insert);
}

void CEnumView::SetImage(std::size_t entry, int image) {
    if (entry >= entryItems_.size()) return;
    TVITEMW item{};
    item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = entryItems_[entry];
    item.iImage = image;
    item.iSelectedImage = image;
    TreeView_SetItem(Hwnd(), &item);
}

void CEnumView::MarkConnection(std::wstring_view connectionName) {
    if (connectionName.empty()) return;
    if (connectionName == L"END") {
        for (std::size_t entry : marks_.Unmark()) SetImage(entry, kTreeImageEntry);
        return;
    }
    for (std::size_t entry : marks_.Mark(win::WideToGbk(connectionName))) {
        SetImage(entry, kTreeImageOnline);
    }
}

std::wstring CEnumView::OnlineEntry() const {
    return win::GbkToWide(marks_.OnlineEntryName());
}

std::wstring CEnumView::SelectedEntry() const {
    if (selectedEntry_ < 0) return {};
    return win::GbkToWide(marks_.Items()[static_cast<std::size_t>(selectedEntry_)].name);
}

bool CEnumView::CanEditSelectedEntry() const {
    return selectedEntry_ >= 0 &&
           marks_.Items()[static_cast<std::size_t>(selectedEntry_)].phonebookEntry;
}

void CEnumView::EditSelectedEntry() {
    if (!CanEditSelectedEntry()) return;
    EditPhonebookEntry(Hwnd(), marks_.Items()[static_cast<std::size_t>(selectedEntry_)].name);
}

std::wstring CEnumView::ItemText(HTREEITEM handle) const {
    wchar_t buffer[512] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = handle;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    if (!TreeView_GetItem(Hwnd(), &item)) return {};
    return buffer;
}

int CEnumView::ItemImage(HTREEITEM handle) const {
    TVITEMW item{};
    item.mask = TVIF_IMAGE;
    item.hItem = handle;
    return TreeView_GetItem(Hwnd(), &item) ? item.iImage : -1;
}

void CEnumView::Select(HTREEITEM item) {
    TreeView_SelectItem(Hwnd(), item);
}

void CEnumView::OnSelectionChanged(const NMTREEVIEWW& change) {
    ++selectionChanges_;
    const LPARAM data = change.itemNew.hItem ? change.itemNew.lParam : kNoEntry;
    selectedEntry_ = data >= 0 && static_cast<std::size_t>(data) < marks_.Items().size()
                         ? static_cast<int>(data)
                         : -1;
    if (args_.selectionChanged && change.itemNew.hItem) {
        args_.selectionChanged(ItemText(change.itemNew.hItem));
    }
}

void CEnumView::ShowMenu() {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TREE_MENU));
    if (!menu) return;
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Hwnd(),
                   nullptr);
    DestroyMenu(menu);
}

LRESULT CEnumView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    // Its menu, which it owns: the frame prepares the items and runs the one chosen.
    switch (msg) {
        case WM_INITMENUPOPUP:
            if (args_.menuOpening) args_.menuOpening(reinterpret_cast<HMENU>(wp));
            return 0;
        case WM_COMMAND:
            if (lp != 0) break;
            if (args_.command) args_.command(LOWORD(wp));
            return 0;
    }
    return Window::WndProc(msg, wp, lp);
}

bool CEnumView::OnReflected(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lp);
    switch (header->code) {
        case TVN_SELCHANGEDW:
            OnSelectionChanged(*reinterpret_cast<const NMTREEVIEWW*>(lp));
            result = 0;
            return true;
        case NM_RCLICK:
            // The menu acts on the selected item; the click does not select.
            ShowMenu();
            result = 1;
            return true;
        default:
            return false;
    }
}

}  // namespace hourlink
