// The automation's dialogs' ids (automation.rc): the weekly schedule, the
// shutdown settings and the programs run after connecting. Control numbers
// repeat between these dialogs as they were laid out.
#pragma once

#define IDD_SCHEDULE 152
#define IDD_SHUTDOWN_SETTINGS 157
#define IDD_RUN_PROGRAMS 158
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
