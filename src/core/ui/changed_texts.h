// What a once-a-second update sends to the windows: only what changed. The
// texts last given to a window's slots, the rule for re-measuring a status
// pane, and the schedule of the tray icon's tip.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hourlink {

// The texts last set in a window's `count` slots (labels, panes, items), so a
// text is set only when it differs and never has to be read back.
class TextSlots {
  public:
    explicit TextSlots(std::size_t count) : texts_(count), known_(count, false) {}

    // True when `text` is not what `slot` holds (or nothing was set there
    // yet): the caller sets it, and it is kept as the slot's text. A slot out
    // of range is always set and never kept.
    bool Take(std::size_t slot, std::wstring_view text);
    // The text last taken for `slot`; empty when none.
    const std::wstring& Text(std::size_t slot) const;
    // The window lost its texts (made again): every slot is set anew.
    void Forget();

  private:
    std::vector<std::wstring> texts_;
    std::vector<bool> known_;
};

// A status pane's width is measured again only when its text's length
// changes: a clock or a byte count that moves on keeps its width.
bool PaneNeedsMeasure(std::wstring_view before, std::wstring_view after);

// `text` without the seconds of its clock times ("1:02:03" reads "1:02"), so
// two tips that differ only in their seconds compare equal.
std::wstring WithoutSeconds(std::wstring_view text);
// A tray tip without what moves from one second to the next: its clocks'
// seconds and the month's data line.
std::wstring WithoutRunningFigures(std::wstring_view text);

// When the tray icon's tip goes to the shell. Asking the shell costs it a
// repaint, so while nobody reads the tip it is sent only when more than its
// seconds changed; while it is shown (the shell says so), every change goes.
class TrayTipSchedule {
  public:
    // The tip as it is now. True when it is to be sent.
    bool Offer(std::wstring_view tip);
    // The shell showed (true) or hid the tip. True when the current tip is to
    // be sent at once: it opened on a text whose seconds are behind.
    bool SetShown(bool shown);
    // The shell got the current tip some other way (the icon was added again).
    void MarkSent() { sent_ = latest_; }

    const std::wstring& Latest() const { return latest_; }
    const std::wstring& Sent() const { return sent_; }
    bool Shown() const { return shown_; }

  private:
    std::wstring latest_;
    std::wstring sent_;
    bool shown_ = false;
};

// The texts a tick has for a window nobody sees (hidden, minimised): held,
// only the latest of each slot, until it is shown. A text set by an event
// replaces what a tick held for its slot.
class HeldTexts {
  public:
    // A tick's text for `slot`. True when it is to be set now: the window is
    // `showing`; otherwise it is held.
    bool Offer(std::size_t slot, std::wstring text, bool showing);
    // An event set `slot` directly: what a tick held there is older.
    void Drop(std::size_t slot);
    // The window is shown: the held texts, by slot, to be set; none remain.
    std::vector<std::pair<std::size_t, std::wstring>> TakeAll();

  private:
    std::vector<std::pair<std::size_t, std::wstring>> held_;
};

}  // namespace hourlink
