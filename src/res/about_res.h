// The About box's ids (about.rc): its version line, the web page and mail
// address (link labels), and the status line.
#pragma once

#define IDD_ABOUTBOX 100
#define IDC_ABOUT_VERSION 1037
#define IDC_ABOUT_MAIL 1038
#define IDC_ABOUT_STATUS 1039
#define IDC_ABOUT_WEB 1043
