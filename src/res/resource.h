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
// Its version line, the web page and mail address (link labels later), and the
// status line.
#define IDC_ABOUT_VERSION 1037
#define IDC_ABOUT_MAIL 1038
#define IDC_ABOUT_STATUS 1039
#define IDC_ABOUT_WEB 1043

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

// Main menu (IDR_MAINFRAME), tray menu, history list menu; month bar commands.
#define IDR_TRAY_MENU 130
#define IDR_LIST_MENU 136
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

// The month bar (tool bar control id) and its month picker, which shares the id;
// string 110 is the picker's prompt and tool tip.
#define ID_MONTH_BAR 110
#define IDC_MONTH_PICKER 110

// Tray and window icons: a traffic light, red lamp (offline) or green (online).
#define IDI_OFFLINE 140
#define IDI_ONLINE 141

// Status bar panes sized by these blank strings: counting-since text, bytes
// received, bytes sent, line speed, accumulated and today's time.
// The history list's column names, separated by commas.
#define IDS_LIST_COLUMNS 129
// The image strip of the history list and the device tree: sixteen 16 x 16
// pictures, magenta transparent.
#define IDB_HISTORY_IMAGES 134
#define IDS_PANE_SINCE 130
#define IDS_PANE_RECEIVED 131
#define IDS_PANE_SENT 132
#define IDS_PANE_SPEED 133
#define IDS_PANE_TOTALS 134

// Messages to the main frame. WM_USER is 0x0400.
#define WM_CONNECTION_EVENT (WM_USER + 1)
#define WM_RECORDS_UPDATED (WM_USER + 2)
#define WM_TRAY_NOTIFY (WM_USER + 3)
#define WM_LOG_TEXT (WM_USER + 4)
#define WM_DIAL_TEXT (WM_USER + 5)
#define WM_LIMIT_ALARM (WM_USER + 6)
// A message box asked for by another thread, shown by the window's own
// thread; lParam is a heap std::wstring the message owns.
#define WM_SHOW_MESSAGE (WM_USER + 7)
// Posted by the frame to itself when it is created: the notification-area icon
// is put up once the main window is on the screen.
#define WM_PUT_UP_TRAY_ICON (WM_USER + 8)
#define WM_RAS_DIAL_STATE 0x4CA

// The limit popup (dialog 151) and its text.
#define IDD_LIMIT_POPUP 151
#define IDC_LIMIT_TEXT 1000

// The countdown dialogs before an automatic hang-up (153) and shutdown (159):
// message, progress bar, seconds line.
#define IDD_HANGUP_COUNTDOWN 153
#define IDD_SHUTDOWN_COUNTDOWN 159
#define IDC_COUNTDOWN_MESSAGE 1000
#define IDC_COUNTDOWN_PROGRESS 1016
#define IDC_COUNTDOWN_SECONDS 1066

// ---- Options and automation: the options dialog (138), the advanced dial
// options (155), the weekly schedule (152), the shutdown settings (157) and
// the programs run after connecting (158). Control numbers repeat between
// these dialogs as they were laid out.
#define IDD_OPTIONS 138
#define IDD_SCHEDULE 152
#define IDD_ADVANCED_DIAL 155
#define IDD_SHUTDOWN_SETTINGS 157
#define IDD_RUN_PROGRAMS 158
#define IDC_OPT_RESTORE_DEFAULTS 1000
#define IDC_OPT_DEL_INTERVAL 1002
#define IDC_OPT_DEL_INTERVAL_SPIN 1003
#define IDC_OPT_START_DATE 1004
#define IDC_OPT_START_DATE_SPIN 1005
#define IDC_OPT_LIMIT_TIME 1006
#define IDC_OPT_LIMIT_TIME_SPIN 1007
#define IDC_OPT_ALARM_SOUND 1008
#define IDC_OPT_ALARM_WINDOW 1009
#define IDC_OPT_DROP_WINDOW 1039
#define IDC_OPT_DAY_LIMIT 1040
#define IDC_OPT_DAY_LIMIT_SPIN 1041
#define IDC_OPT_TRAN_WINDOW 1045
#define IDC_OPT_START_RUN 1064
#define IDC_OPT_HANG_UP 1065
#define IDC_OPT_ADVANCED 1068
#define IDC_OPT_ADJUST_ADD 1093
#define IDC_OPT_ADJUST_SUBTRACT 1094
#define IDC_OPT_ADJUST 1095
#define IDC_OPT_ADJUST_SPIN 1097
#define IDC_ADV_LOCAL_FLAG 1048
#define IDC_ADV_IDLE_FLAG 1049
#define IDC_ADV_START_UP_CONNECT 1050
#define IDC_ADV_COUNT 1069
#define IDC_ADV_WAIT 1070
#define IDC_ADV_IDLE 1071
#define IDC_ADV_COUNT_SPIN 1072
#define IDC_ADV_WAIT_SPIN 1073
#define IDC_ADV_IDLE_SPIN 1074
#define IDC_SCHED_MONDAY 1048
#define IDC_SCHED_SUNDAY 1054
#define IDC_SCHED_START1 1055
#define IDC_SCHED_STOP1 1056
#define IDC_SCHED_START2 1057
#define IDC_SCHED_STOP2 1058
#define IDC_SCHED_START3 1059
#define IDC_SCHED_STOP3 1060
#define IDC_SCHED_START4 1061
#define IDC_SCHED_STOP4 1062
#define IDC_SCHED_ENTRY 1063
#define IDC_SHUT_EVERY_START 1048
#define IDC_SHUT_HOUR 1071
#define IDC_SHUT_HOUR_SPIN 1074
#define IDC_SHUT_HOURS 1079
#define IDC_SHUT_HOURS_SPIN 1081
#define IDC_SHUT_TIME 1082
#define IDC_SHUT_AFTER_HOURS 1090
#define IDC_SHUT_DAILY 1091
#define IDC_SHUT_AT_TIME 1092
#define IDC_RUN_END_AT_DISCONNECT 1048
#define IDC_RUN_DELETE 1086
#define IDC_RUN_ADD 1087
#define IDC_RUN_LIST 1088

// The ping tool: dialog 102, its default host, the start button's two captions,
// and its controls.
#define IDD_PING 102
#define IDS_PING_DEFAULT_HOST 105
#define IDS_PING_START 112
#define IDS_PING_STOP 118
#define IDC_PING_HOST 1000
#define IDC_PING_LOSS 1001
#define IDC_PING_OUTPUT 1002
#define IDC_PING_START 1003
#define IDC_PING_SIZE 1004
#define IDC_PING_MAX_SIZE 1005
#define IDC_PING_TIMEOUT 1006
// The program lock: the protection dialog (160) and the password question (161).
#define IDD_PROTECTION 160
#define IDD_PASSWORD_ENTRY 161
#define IDC_LOCK_REMOVE 3
#define IDC_LOCK_PASSWORD 1011
#define IDC_LOCK_CONFIRM 1012
#define IDC_LOCK_PROTECT 1013
#define IDC_LOCK_SHIELD 1098

// The connect dialog: user name, password, "不保存密码", phone number and the
// Properties button.
#define IDD_CONNECT 139
#define IDC_CONNECT_USER 1010
#define IDC_CONNECT_PASSWORD 1011
#define IDC_CONNECT_DONT_SAVE 1012
#define IDC_CONNECT_PROPERTIES 1013
#define IDC_CONNECT_PHONE 1067

// The icon beside the title of the options and connect dialogs' button tips.
#define IDI_TOOLTIP_TIP 156

// The version: the version resource's numbers and text. CMake reads its project
// version (and the setup program's name) from here; the two must agree.
#define HOURLINK_VERSION_MAJOR 2
#define HOURLINK_VERSION_MINOR 21
#define HOURLINK_VERSION_PATCH 0
#define HOURLINK_VERSION_TEXT "2.21.0"

// The floating drop window (dialog 143): session time, month time, download
// and upload rates.
#define IDD_DROP_WINDOW 143
#define IDC_DROP_SESSION 1015
#define IDC_DROP_MONTH 1016
#define IDC_DROP_DOWNLOAD 1046
#define IDC_DROP_UPLOAD 1047
// The device tree: its context menu and the texts of the root and the groups.
#define IDR_TREE_MENU 135
#define IDS_TREE_ROOT 113
#define IDS_TREE_BROADBAND 114
#define IDS_TREE_VPN 115
#define IDS_TREE_DIAL_UP 116
#define IDS_TREE_OTHER 117
