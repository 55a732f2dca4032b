// The connect dialog's ids (connect.rc): user name, password, "不保存密码",
// phone number and the Properties button.
#pragma once

#define IDD_CONNECT 139
#define IDC_CONNECT_USER 1010
#define IDC_CONNECT_PASSWORD 1011
#define IDC_CONNECT_DONT_SAVE 1012
#define IDC_CONNECT_PROPERTIES 1013
#define IDC_CONNECT_PHONE 1067
