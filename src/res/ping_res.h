// The ping tool's ids (ping.rc): its dialog, default host, the start button's
// two captions and its controls, and the probe's messages.
#pragma once

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
