// The program lock's ids (lock.rc): the protection dialog and the password
// question.
#pragma once

#define IDD_PROTECTION 160
#define IDD_PASSWORD_ENTRY 161
#define IDC_LOCK_REMOVE 3
#define IDC_LOCK_PASSWORD 1011
#define IDC_LOCK_CONFIRM 1012
#define IDC_LOCK_PROTECT 1013
#define IDC_LOCK_SHIELD 1098
