// CMonthBar: the tool bar across the top of the main window. It holds the month
// picker that chooses which accounting month the history shows, the command
// buttons, and six green-on-black labels with this month's time, the current
// session's time and its start.
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/changed_texts.h"
#include "shell/win/window.h"

namespace hourlink {

class CMonthBar : public win::Window {
  public:
    static constexpr int kSlotCount = 16;
    static constexpr int kLabelCount = 6;
    static constexpr int kFirstLabelSlot = 10;
    // The last label reaches this x in the bar, at 96 DPI.
    static constexpr int kLabelsRight = 1024;
    // The picker's slot at 96 DPI; wider when the month's text needs it.
    static constexpr int kPickerWidth = 110;
    static constexpr COLORREF kLabelText = RGB(0, 255, 0);

    using MonthChanged = std::function<void(int year, int month)>;
    // The button under the mouse changed: its command, or 0 when the mouse left
    // the buttons.
    using HotButtonChanged = std::function<void(int command)>;
    // A button was clicked.
    using ButtonClicked = std::function<void(UINT command)>;

    CMonthBar() = default;
    ~CMonthBar() override;

    // Creates the bar at the top of `parent` for `dpi`, its labels and picker
    // in `font` (the status bar's; not owned, must outlive the bar).
    bool Create(HWND parent, HFONT font, int dpi);
    // The window moved to a screen of another DPI: the pictures, the slots,
    // the picker and the labels are made again for `dpi` in `font`.
    void SetDpi(int dpi, HFONT font);

    // The picker's month; the day is irrelevant.
    void SetMonth(int year, int month);
    // The month the picker shows (read from the control, which holds it).
    int Year() const;
    int Month() const;
    // Called when the user picks another month.
    void OnMonthChanged(MonthChanged callback) { monthChanged_ = std::move(callback); }
    void OnHotButtonChanged(HotButtonChanged callback) { hotButtonChanged_ = std::move(callback); }
    void OnButton(ButtonClicked callback) { buttonClicked_ = std::move(callback); }
    // The commands of the buttons, in their order.
    static std::vector<UINT> ButtonCommands();
    // Enables or greys a button.
    void EnableButton(int command, bool enabled);
    bool IsButtonEnabled(int command) const;

    // The three value labels.
    void SetMonthTotal(std::wstring_view text) { SetLabel(1, text); }
    void SetSessionTime(std::wstring_view text) { SetLabel(3, text); }
    void SetSessionStart(std::wstring_view text) { SetLabel(5, text); }

    // Gives the picker and labels `font` again (the frame does so after each
    // resize, as the picker may have lost it).
    void SetFont(HFONT font);
    // Fits the bar to its parent's width; call from the parent's WM_SIZE.
    void AutoSize();

    HWND Picker() const { return picker_; }
    HWND Label(int index) const { return labels_[static_cast<size_t>(index)]; }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    SYSTEMTIME PickerTime() const;
    // The button pictures at the size for the DPI.
    void LoadImages();
    // The buttons and separators, each slot as wide as it must be at the DPI.
    void AddButtons();
    int PickerSlotWidth() const;
    // Moves the picker and the labels onto their slots.
    void PlaceControls();
    void CreatePicker();
    void CreateLabels();
    void SetLabel(int index, std::wstring_view text);
    bool IsLabel(HWND hwnd) const;
    void OnDateTimeChange(const NMDATETIMECHANGE& change);
    // The tool tip of a button: the second field of its string resource.
    void OnToolTipText(NMTTDISPINFOW& info);

    HFONT font_ = nullptr;
    int dpi_ = 96;
    HIMAGELIST images_ = nullptr;
    HBRUSH black_ = nullptr;
    HWND picker_ = nullptr;
    std::array<HWND, kLabelCount> labels_{};
    TextSlots labelTexts_{kLabelCount};
    std::wstring tip_;  // the text handed to the tool tip until the next request
    MonthChanged monthChanged_;
    HotButtonChanged hotButtonChanged_;
    ButtonClicked buttonClicked_;
};

}  // namespace hourlink
