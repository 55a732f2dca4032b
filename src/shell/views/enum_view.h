// CEnumView: the main window's left pane, a tree of the ways this computer
// goes online. The root names the computer; under it four groups hold the
// phonebook's entries by kind, and the PPPoE client's adapter. The item of the
// connection that is online shows a green face. Selecting an item filters the
// history list to that group or entry; its menu connects, hangs up or edits
// the selected entry.
//
// The frame's part: Create() in place of a plain tree, with the probes'
// devices (ProbeDevices) and the history list's tree filter; MarkConnection()
// with the connection name at a connect and "END" at an end; OnlineEntry()
// for Property/DefaultConnect before that end; SelectedEntry() and
// SelectionChanges() for its connect command; EditSelectedEntry() for
// command 32778. Its menu's commands (connect, hang up, edit) are the frame's:
// Args::menuOpening lets the frame enable them, Args::command hands them over.
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/device_tree.h"
#include "shell/win/window.h"

namespace hourlink {

class CEnumView : public win::Window {
  public:
    struct Args {
        HWND parent = nullptr;
        int id = 0;
        int dpi = 96;
        HFONT font = nullptr;  // not owned; the system's when null
        DeviceProbe devices;   // what ProbeDevices found
        // The whole text of a newly selected item (the history list's filter).
        std::function<void(std::wstring_view)> selectionChanged;
        // Its menu opens: the frame enables the items.
        std::function<void(HMENU menu)> menuOpening;
        // A command chosen in its menu.
        std::function<void(UINT id)> command;
    };

    CEnumView() = default;
    ~CEnumView() override;

    // Creates the tree, builds it and expands the root and the groups. The
    // tree is built once: entries made later show after the next start. Its
    // pictures wait for ShowPictures: a program started in the tray may never
    // show them.
    bool Create(Args args);
    // The pictures for the tree's DPI, the first time the tree is about to be
    // seen. True when they were made now (the items' widths changed).
    bool ShowPictures();
    bool HasPictures() const { return images_ != nullptr; }

    // The window moved to a screen of another DPI: the pictures for `dpi`
    // (once the tree has them), the texts in `font` (not owned).
    void SetDpi(int dpi, HFONT font);
    // The tree's width that shows the root's whole text.
    int WidthForRoot() const;

    // "END": every marked item goes back to its normal picture. Any other
    // name: the entry items of that name turn green, whatever its case (see
    // DeviceMarks::Mark). An empty name does nothing.
    void MarkConnection(std::wstring_view connectionName);
    // The phonebook entry of the connection marked online (its real name, even
    // one with "("); empty when none is marked or it is no phonebook entry.
    // The frame writes it to Property/DefaultConnect only when not empty.
    std::wstring OnlineEntry() const;

    // The entry of the selected item: a phonebook entry's own name, the PPPoE
    // adapter's text; empty for the root and the groups.
    std::wstring SelectedEntry() const;
    // How often the selection changed since the tree was built.
    int SelectionChanges() const { return selectionChanges_; }
    // Command 32778: the phonebook entry editor for the selected entry; only a
    // phonebook entry can be edited (CanEditSelectedEntry).
    bool CanEditSelectedEntry() const;
    void EditSelectedEntry();

    // What the tree holds, for the tests and the frame.
    HTREEITEM Root() const { return root_; }
    HTREEITEM Group(DeviceGroup group) const { return groups_[static_cast<int>(group)]; }
    const std::vector<HTREEITEM>& EntryItems() const { return entryItems_; }
    std::wstring ItemText(HTREEITEM item) const;
    int ItemImage(HTREEITEM item) const;
    void Select(HTREEITEM item);

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    HTREEITEM Insert(HTREEITEM parent, const std::wstring& text, int image, LPARAM data);
    void SetImage(std::size_t entry, int image);
    void OnSelectionChanged(const NMTREEVIEWW& change);
    void ShowMenu();

    Args args_;
    HIMAGELIST images_ = nullptr;
    DeviceMarks marks_{{}};
    HTREEITEM root_ = nullptr;
    HTREEITEM groups_[kDeviceGroupCount] = {};
    std::vector<HTREEITEM> entryItems_;  // parallel to marks_.Items()
    int selectedEntry_ = -1;             // index of the selected entry item
    int selectionChanges_ = 0;
};

}  // namespace hourlink
