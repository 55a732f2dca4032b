// The main window's ids (main_window.rc): the tray and list menus, the month
// bar and its picker, the history list's columns and pictures, the status
// bar's pane strings, and the device tree's menu and texts.
#pragma once

// The tray icon's menu (the drop window shows it too) and the history list's.
#define IDR_TRAY_MENU 130
#define IDR_LIST_MENU 136

// The month bar (tool bar control id) and its month picker, which shares the id;
// string 110 is the picker's prompt and tool tip.
#define ID_MONTH_BAR 110
#define IDC_MONTH_PICKER 110

// The history list's column names, separated by commas.
#define IDS_LIST_COLUMNS 129
// The image strip of the history list and the device tree: sixteen 16 x 16
// pictures, magenta transparent.
#define IDB_HISTORY_IMAGES 134
// The same strips at 20, 24 and 32 pixels (the 16-pixel button strip is
// IDR_MAINFRAME's bitmap), for screens of more than 96 DPI.
#define IDB_HISTORY_IMAGES_20 173
#define IDB_HISTORY_IMAGES_24 174
#define IDB_HISTORY_IMAGES_32 175
#define IDB_TOOLBAR_20 170
#define IDB_TOOLBAR_24 171
#define IDB_TOOLBAR_32 172

// Status bar panes sized by these blank strings: counting-since text, bytes
// received, bytes sent, line speed, accumulated and today's time.
#define IDS_PANE_SINCE 130
#define IDS_PANE_RECEIVED 131
#define IDS_PANE_SENT 132
#define IDS_PANE_SPEED 133
#define IDS_PANE_TOTALS 134

// The device tree: its context menu and the texts of the root and the groups.
#define IDR_TREE_MENU 135
#define IDS_TREE_ROOT 113
#define IDS_TREE_BROADBAND 114
#define IDS_TREE_VPN 115
#define IDS_TREE_DIAL_UP 116
#define IDS_TREE_OTHER 117

// The usage chart window's mode buttons: time and data.
#define IDC_CHART_TIME 1201
#define IDC_CHART_DATA 1202
