// Resource, command, control and message numbers of Hourlink, in one place.
// Included by hourlink.rc and by C++ code, so it holds nothing but #define lines.
// A number is added here when the feature that uses it is built.
#pragma once

// The document template's resources (icon, string, later menu 128, toolbar 128
// and bitmap 128 of the month bar). String 128's first '\n'-field is the main
// window's title.
#define IDR_MAINFRAME 128

// The application title; also the second "Hourlink" of the settings key
// HKEY_CURRENT_USER\Software\Hourlink\Hourlink.
#define IDS_APP_TITLE 57344

// The About box.
#define IDD_ABOUTBOX 100

// The ping probe's messages (a reply, then the failures), printf formats.
#define IDS_PING_REPLY 106
#define IDS_PING_SOCKET_FAILED 161
#define IDS_PING_TIMEOUT_OPTION_FAILED 162
#define IDS_PING_RESOLVE_FAILED 163
#define IDS_PING_TOO_FEW_BYTES 164
#define IDS_PING_NON_ECHO 165
#define IDS_PING_OTHER_PROCESS 166
#define IDS_PING_TIMED_OUT 167
#define IDS_PING_SEND_FAILED 168
#define IDS_PING_RECEIVE_FAILED 169

// Application commands.
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_HELP_TOPICS 57671

// Messages to the main frame. WM_USER is 0x0400.
#define WM_CONNECTION_EVENT (WM_USER + 1)
#define WM_RECORDS_UPDATED (WM_USER + 2)
#define WM_TRAY_NOTIFY (WM_USER + 3)
#define WM_LOG_TEXT (WM_USER + 4)
#define WM_DIAL_TEXT (WM_USER + 5)
#define WM_LIMIT_ALARM (WM_USER + 6)
#define WM_RAS_DIAL_STATE 0x4CA

// The version resource's numbers (CMakeLists.txt's project version is the same).
#define HOURLINK_VERSION_MAJOR 2
#define HOURLINK_VERSION_MINOR 21
#define HOURLINK_VERSION_PATCH 0
#define HOURLINK_VERSION_TEXT "2.21.0"
