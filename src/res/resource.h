// The ids that several features share: the program's own resources, the
// commands (menus, the month bar's buttons and the children's menus carry
// them), the connection icons, the tip icon and the version. Each feature's
// other ids are in the header beside its .rc file (about_res.h, ...). Included
// by the .rc files and by C++ code, so it holds nothing but #define lines.
#pragma once

// The program's icon, menu, month bar pictures and title string. String
// 128's first '\n'-field is the main window's title.
#define IDR_MAINFRAME 128

// The application title; also the second "Hourlink" of the settings key
// HKEY_CURRENT_USER\Software\Hourlink\Hourlink.
#define IDS_APP_TITLE 57344

// Application commands.
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_HELP_TOPICS 57671

// The commands of the main menu, the tray menu, the children's menus and the
// month bar's buttons.
#define ID_SHOW_MAIN_WINDOW 32771
#define ID_CONNECT 32772
#define ID_EDIT_ENTRY 32778
#define ID_HANG_UP 32779
#define ID_OPTIONS 32780
#define ID_SUM_SELECTION 32789
#define ID_SHOW_DROP_WINDOW 32790
#define ID_HTML_REPORT 32792
#define ID_DROP_TRANSLUCENT 32793
#define ID_SCHEDULE 32794
#define ID_SHUTDOWN 32795
#define ID_PING 32796
#define ID_THEME_FIRST 32797
#define ID_THEME_LAST 32803
#define ID_RUN_PROGRAMS 32805
#define ID_PROTECT 1013
// The usage chart window (查看 menu) and the CSV export (查看 menu and the
// history list's menu).
#define ID_USAGE_CHART 32820
#define ID_EXPORT_CSV 32821

// Tray and window icons: a traffic light, red lamp (offline) or green (online).
#define IDI_OFFLINE 140
#define IDI_ONLINE 141

// The icon beside the title of the options and connect dialogs' button tips.
#define IDI_TOOLTIP_TIP 156

// The version: the version resource's numbers and text. CMake reads its project
// version (and the setup program's name) from here; the two must agree.
#define HOURLINK_VERSION_MAJOR 2
#define HOURLINK_VERSION_MINOR 21
#define HOURLINK_VERSION_PATCH 0
#define HOURLINK_VERSION_TEXT "2.21.0"

#ifdef RC_INVOKED
// The style of the dialogs' up-down controls beside their number fields.
#define HL_SPIN UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS
#endif
