// The floating drop window's ids (drop_window.rc): session time, month time,
// download and upload rates.
#pragma once

#define IDD_DROP_WINDOW 143
#define IDC_DROP_SESSION 1015
#define IDC_DROP_MONTH 1016
#define IDC_DROP_DOWNLOAD 1046
#define IDC_DROP_UPLOAD 1047
// The month's data against the allowance: shown only while one is set.
#define IDC_DROP_DATA_LABEL 1048
#define IDC_DROP_DATA 1049
