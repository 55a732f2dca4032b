// The main frame's private messages and its timers, in one place.
//
// Other threads reach the frame only through these messages: the watcher
// thread, the dial thread and RAS's notification thread post them (a session's
// end is sent, so the watcher waits for the frame). A text or status a message
// carries is a heap copy the message owns (frame_watcher_events.h). The
// frame's own windows report to it through callbacks instead.
#pragma once

#include <windows.h>

namespace hourlink {

// WM_USER is 0x0400; the numbers are fixed, as other programs may send them.
inline constexpr UINT WM_CONNECTION_EVENT = WM_USER + 1;  // wParam: a ConnectionStatus
inline constexpr UINT WM_RECORDS_UPDATED = WM_USER + 2;   // wParam 1: the table is loaded
inline constexpr UINT WM_TRAY_NOTIFY = WM_USER + 3;       // the shell, for the tray icon
inline constexpr UINT WM_LOG_TEXT = WM_USER + 4;          // lParam: a text for the log pane
inline constexpr UINT WM_DIAL_TEXT = WM_USER + 5;         // wParam: a text for the log pane
inline constexpr UINT WM_LIMIT_ALARM = WM_USER + 6;       // shows the monthly limit's popup
// A message box asked for by another thread; wParam its icon and buttons,
// lParam its text.
inline constexpr UINT WM_SHOW_MESSAGE = WM_USER + 7;
// Posted by the frame to itself when it is created: the notification-area icon
// is put up once the main window is on the screen.
inline constexpr UINT WM_PUT_UP_TRAY_ICON = WM_USER + 8;
// A dialling state from RAS: wParam the state (0 on an error), lParam the error.
inline constexpr UINT WM_RAS_DIAL_STATE = 0x4CA;

// The frame window's timers.
enum FrameTimer : UINT_PTR {
    kScheduleTimer = 1,  // the weekly plan, every 10 s
    kSessionTimer = 2,   // the session tick, every second while a timed session is up
    kShutdownTimer = 3,  // the automatic shutdown, every 5 s while no session is timed
    kDayTimer = 4,       // at the next local midnight
    kRetryTimer = 5,     // every 10 s while a record write waits and no tick runs
};

}  // namespace hourlink
