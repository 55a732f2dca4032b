// The limits' dialogs' ids (limits.rc): the alarm popup and its text, and the
// countdowns before an automatic hang-up and shutdown with their message,
// progress bar and seconds line.
#pragma once

#define IDD_LIMIT_POPUP 151
#define IDC_LIMIT_TEXT 1000

#define IDD_HANGUP_COUNTDOWN 153
#define IDD_SHUTDOWN_COUNTDOWN 159
#define IDC_COUNTDOWN_MESSAGE 1000
#define IDC_COUNTDOWN_PROGRESS 1016
#define IDC_COUNTDOWN_SECONDS 1066
