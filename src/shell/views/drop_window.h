// CDropWindow: the small caption-less, always-on-top window that floats on the
// desktop while the computer is online, with the month's and the
// connection's time and the download and upload rates. It is dragged by its
// body, keeps its place between runs (section DragDlg), can be translucent,
// takes its colours from the tray menu's theme and turns its figures red or
// yellow when a limit is passed. It decides nothing: the frame pushes texts,
// the alarm state and the theme into it and shows or hides it.
//
// The frame's part: Prepare() while it is created (the window itself is made
// the first time it is shown: most runs start offline and many never show
// it); the Set...() calls at every tick and with the offline texts, kept
// until the window exists; SetVisible() at a connect (with
// Property/DropWindow) and an end, SavePlacement() at an end; the commands
// 32790 (ToggleVisible), 32793 (SetTranslucent) and 32797-32803 (SetTheme);
// UpdateMenu() for each menu it opens. The window reports its menu's commands,
// its double click (32771) and its close request through its Reports.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "core/accounting/limits.h"
#include "core/settings/settings_store.h"
#include "core/ui/changed_texts.h"
#include "core/ui/tray_rules.h"
#include "shell/win/dialog.h"

namespace hourlink {

class CDropWindow : public win::Dialog {
  public:
    // What the window tells the frame.
    struct Reports {
        // A command of its menu, or 32771 on a double click.
        std::function<void(UINT id)> command;
        // Its menu opens: the frame enables and checks the items.
        std::function<void(HMENU menu)> menuOpening;
        // Alt+F4 on it: the program is asked to end (the window itself stays).
        std::function<void()> closeRequested;
    };

    CDropWindow();
    // Destroys the window (saving its placement) while the brush can be freed.
    ~CDropWindow() override;

    // Takes what the window will need and reads Property/TranWindow; the
    // window is made by the first SetVisible(true). `settings` must outlive
    // this object; `frame` is brought forward when the window is clicked with
    // the right button.
    void Prepare(HWND frame, SettingsStore& settings, Reports reports = {});
    // Prepare(), and the window made now, hidden (see MakeWindow).
    bool Create(HWND frame, SettingsStore& settings, Reports reports = {});

    // The four figures; a text that did not change is not redrawn.
    void SetMonthTime(std::wstring_view text);
    void SetSessionTime(std::wstring_view text);
    void SetRates(std::wstring_view download, std::wstring_view upload);
    // The month's data against the allowance; empty hides its row.
    void SetData(std::wstring_view text);

    // The limit state: all four figures change colour together.
    void SetAlarm(DropAlarmState alarm);
    DropAlarmState Alarm() const { return alarm_; }

    // A theme command 32797-32803; false (nothing changes) for another id.
    bool SetTheme(unsigned command);
    unsigned Theme() const { return theme_.command; }
    // The colours the window paints with now.
    Colour BackgroundColour() const { return theme_.background; }
    Colour TextColour() const { return DropTextColour(theme_, alarm_); }

    // Translucency: the layered style with alpha 100 of 255 (kept for the
    // window to be made when there is none yet).
    void SetTranslucent(bool on);
    bool IsTranslucent() const { return translucent_; }

    // Showing makes the window the first time.
    void SetVisible(bool visible);
    void ToggleVisible() { SetVisible(!IsVisible()); }

    // Writes the show state and the normal-position rectangle to DragDlg.
    void SavePlacement();

    // Enables and checks the drop window's items of a menu that opens: 32790
    // while shown, 32793 while translucent, the current theme.
    void UpdateMenu(HMENU menu) const;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    // The window from dialog 143, hidden and without a parent, with the
    // texts, colours and translucency it was given so far, at its saved
    // DragDlg corner (checked against the monitors; (0,0) when none is saved).
    bool MakeWindow();
    void SetItemText(int id, std::wstring_view text);
    // Shows the data row, and the window's height with it, when there is a
    // data text.
    void FitDataRow();
    void Repaint();
    void PlaceAtSavedCorner();
    void ShowContextMenu(LPARAM at);

    HWND frame_ = nullptr;
    SettingsStore* settings_ = nullptr;
    Reports reports_;
    DropTheme theme_;
    HBRUSH brush_ = nullptr;
    DropAlarmState alarm_ = DropAlarmState::kNone;
    bool translucent_ = false;
    // The month, session, download, upload and data texts last set, and their
    // labels, found once: under Wine each GetDlgItem asks the server for the
    // window's children.
    static constexpr std::size_t kItems = 5;
    TextSlots itemTexts_{kItems};
    std::array<HWND, kItems> items_{};
};

}  // namespace hourlink
