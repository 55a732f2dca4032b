// The one table of the program's settings: where each lives, its read default and
// the range a sound value lies in; plus the start-up normalisation, restore
// defaults, window placements and the shutdown time.
//
// Values outside a setting's range (hand-edited registry data, a string where a
// number belongs) read as the read default, so no caller sees a value that the
// options dialogs could not have written.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/settings_store.h"

namespace hourlink {

struct IntSetting {
    std::wstring_view section;
    std::wstring_view key;
    int readDefault;
    int min;
    int max;
};

struct StringSetting {
    std::wstring_view section;
    std::wstring_view key;
    std::wstring_view readDefault;
};

namespace settings {

inline constexpr std::wstring_view kProperty = L"Property";
inline constexpr std::wstring_view kAdvance = L"Advance";
inline constexpr std::wstring_view kAutoConnect = L"AutoConnent";  // spelled so in the registry
inline constexpr std::wstring_view kShutdown = L"Shutdown";
inline constexpr std::wstring_view kRunProg = L"RunProg";
inline constexpr std::wstring_view kFrame = L"Frame";
inline constexpr std::wstring_view kDragDlg = L"DragDlg";

// Property: the main options.
inline constexpr IntSetting kStartDate{kProperty, L"StartDate", 0, 1, 30};
inline constexpr IntSetting kLimitTime{kProperty, L"LimitTime", 0, 1, 720};
inline constexpr IntSetting kDayLimit{kProperty, L"DayLimit", 0, 1, 24};
inline constexpr IntSetting kDelInterval{kProperty, L"DelInterval", 0, 1, 12};
inline constexpr IntSetting kStartRun{kProperty, L"StartRun", 0, 0, 1};
inline constexpr IntSetting kDropWindow{kProperty, L"DropWindow", 0, 0, 1};
inline constexpr IntSetting kTranWindow{kProperty, L"TranWindow", 0, 0, 1};
inline constexpr IntSetting kAlarmSound{kProperty, L"AlarmSound", 0, 0, 1};
inline constexpr IntSetting kAlarmWindow{kProperty, L"AlarmWindow", 0, 0, 1};
inline constexpr IntSetting kHangUp{kProperty, L"HangUp", 0, 0, 1};
inline constexpr IntSetting kAdjust{kProperty, L"Adjust", 0, 0, 720};
inline constexpr IntSetting kRadioAdjust{kProperty, L"RadioAdjust", 0, 0, 1};
inline constexpr IntSetting kStartMonth{kProperty, L"StartMonth", 0, 1, 12};
// 1 once the first start's balloon has said where the tray icon is.
inline constexpr IntSetting kTrayHintShown{kProperty, L"TrayHint", 0, 0, 1};
// 1 once the user was told the records are kept in the local application data.
inline constexpr IntSetting kLocalRecordsTold{kProperty, L"LocalRecordsTold", 0, 0, 1};
inline constexpr StringSetting kDefaultConnect{kProperty, L"DefaultConnect", L""};
// The monthly data allowance in megabytes (10^6 bytes); 0 or absent: none.
// The options show it in gigabytes, up to 10,000.
inline constexpr IntSetting kDataLimit{kProperty, L"DataLimit", 0, 0, 10'000'000};
// The share of a monthly limit, in percent, at which a balloon warns; 0: never.
inline constexpr IntSetting kWarnShare{kProperty, L"WarnShare", 80, 0, 100};
// The accounting month (year * 100 + month) in which the time warning, the
// data warning and the data alarm were last given, so each comes once a month
// also across restarts; 0: not yet.
inline constexpr IntSetting kHourWarned{kProperty, L"HourWarned", 0, 0, 999912};
inline constexpr IntSetting kDataWarned{kProperty, L"DataWarned", 0, 0, 999912};
inline constexpr IntSetting kDataAlarmed{kProperty, L"DataAlarmed", 0, 0, 999912};

// Advance: the advanced dial options.
inline constexpr IntSetting kDialCount{kAdvance, L"count", 1, 1, 99};
inline constexpr IntSetting kDialWait{kAdvance, L"wait", 5, 5, 99};
inline constexpr IntSetting kIdleFlag{kAdvance, L"idelFlag", 0, 0, 1};
inline constexpr IntSetting kIdleMinutes{kAdvance, L"idel", 1, 1, 59};
inline constexpr IntSetting kLocalFlag{kAdvance, L"localFlag", 1, 0, 1};
inline constexpr IntSetting kStartUpConnect{kAdvance, L"StartUpConnect", 0, 0, 1};

// AutoConnent: the weekly schedule. week1 is Monday .. week7 Sunday; up to four
// connect ("start") and hang-up ("stop") times written as "%d:%02d".
inline constexpr StringSetting kScheduleEntryName{kAutoConnect, L"EntryName", L""};
inline constexpr std::array<IntSetting, 7> kWeekDays{{
    {kAutoConnect, L"week1", 0, 0, 1},
    {kAutoConnect, L"week2", 0, 0, 1},
    {kAutoConnect, L"week3", 0, 0, 1},
    {kAutoConnect, L"week4", 0, 0, 1},
    {kAutoConnect, L"week5", 0, 0, 1},
    {kAutoConnect, L"week6", 0, 0, 1},
    {kAutoConnect, L"week7", 0, 0, 1},
}};
inline constexpr std::array<StringSetting, 4> kScheduleStarts{{
    {kAutoConnect, L"start1", L""},
    {kAutoConnect, L"start2", L""},
    {kAutoConnect, L"start3", L""},
    {kAutoConnect, L"start4", L""},
}};
inline constexpr std::array<StringSetting, 4> kScheduleStops{{
    {kAutoConnect, L"stop1", L""},
    {kAutoConnect, L"stop2", L""},
    {kAutoConnect, L"stop3", L""},
    {kAutoConnect, L"stop4", L""},
}};

// Shutdown: the automatic shutdown plan. Time is binary (see ReadShutdownTime).
inline constexpr IntSetting kShutdownSave{kShutdown, L"Save", 0, 0, 1};
inline constexpr IntSetting kShutdownPlan{kShutdown, L"RadioEscap", 0, 0, 2};
// Hours from arming, ten years at most: the one range of the hour count, which
// the shutdown dialog accepts too (MaxShutdownHours).
inline constexpr IntSetting kShutdownHours{kShutdown, L"escap", 0, 0, 24 * 366 * 10};
inline constexpr IntSetting kShutdownHour{kShutdown, L"idel", 0, 0, 23};
inline constexpr std::wstring_view kShutdownTimeKey = L"Time";

// RunProg: programs started after connecting, joined by ",".
inline constexpr StringSetting kRunPrograms{kRunProg, L"path", L""};
// Whether the programs started after connecting are asked to close at the
// disconnect (the list dialog's check box).
inline constexpr IntSetting kEndProgramsAtDisconnect{kRunProg, L"EndAtDisconnect", 0, 0, 1};

// The data directory, directly under the program's key (empty section).
inline constexpr StringSetting kDirectory{L"", L"Directory", L""};

// Every integer setting of the table with a fixed key (the weekdays are above).
inline constexpr std::array<IntSetting, 28> kAllInts{{
    kStartDate,      kLimitTime,    kDayLimit,     kDelInterval,   kStartRun,     kDropWindow,
    kTranWindow,     kAlarmSound,   kAlarmWindow,  kHangUp,        kAdjust,       kRadioAdjust,
    kStartMonth,     kDialCount,    kDialWait,     kIdleFlag,      kIdleMinutes,  kLocalFlag,
    kStartUpConnect, kShutdownSave, kShutdownPlan, kShutdownHours, kShutdownHour,
    kDataLimit,      kWarnShare,    kHourWarned,   kDataWarned,    kDataAlarmed,
}};

}  // namespace settings

// Reads an integer setting; a value outside its range reads as `defaultValue`.
// The default itself always reads back, even outside the range: a stored 0 for
// StartDate means "not set yet" and is replaced at start-up.
int ReadSetting(SettingsStore& store, const IntSetting& setting, int defaultValue);
inline int ReadSetting(SettingsStore& store, const IntSetting& setting) {
    return ReadSetting(store, setting, setting.readDefault);
}
bool WriteSetting(SettingsStore& store, const IntSetting& setting, int value);
std::wstring ReadSetting(SettingsStore& store, const StringSetting& setting);
bool WriteSetting(SettingsStore& store, const StringSetting& setting, std::wstring_view value);

// The lowest and highest start day of the accounting month the options allow,
// and the day a fresh installation starts its months on.
inline constexpr int kMinStartDay = 1;
inline constexpr int kMaxStartDay = 30;
inline constexpr int kDefaultStartDay = 21;

// The first day of the accounting month, from Property/StartDate. This is the
// one place that turns the stored value into a start day: a day of 1 to 30 is
// taken as it is; anything else (absent, 0, or a hand-edited value outside the
// range) is the default, 21, which the start-up normalisation also writes in
// place of an absent or 0 value.
int ReadStartDay(SettingsStore& store);

// Writes the defaults of missing settings; runs at every start while the main
// frame is created. Returns the frame's translucency state (Property/TranWindow).
int NormalizeSettingsAtStartup(SettingsStore& store);

// The options dialog's "restore defaults": the Property values a fresh
// installation starts with, and no correction of this month's time.
void RestoreDefaultSettings(SettingsStore& store);

// A window's saved normal-position rectangle and show state (sections Frame and
// DragDlg). -1 marks a missing value.
struct WindowPlacement {
    int status = -1;
    int top = -1;
    int left = -1;
    int bottom = -1;
    int right = -1;
};

// The saved placement of `section`, only when all five values are present.
std::optional<WindowPlacement> ReadWindowPlacement(SettingsStore& store, std::wstring_view section);
void WriteWindowPlacement(SettingsStore& store, std::wstring_view section,
                          const WindowPlacement& placement);

// Shutdown/Time: a signed 32-bit count of seconds since 1970, 4 bytes
// little-endian. Anything else stored there reads as absent.
std::optional<std::int32_t> ReadShutdownTime(SettingsStore& store);
void WriteShutdownTime(SettingsStore& store, std::int32_t seconds);
// The stored shutdown time only while it lies in the future.
std::optional<std::int32_t> ReadPendingShutdownTime(SettingsStore& store, std::int64_t now);

// The directory of the program's data files: the Directory value, or the
// program's own directory when that is absent or empty.
std::wstring ReadDataDirectory(SettingsStore& store, std::wstring_view programDirectory);

// Where the records are kept: the Directory value when set; else the
// program's own directory when it can be written; else (a program copied
// under "Program Files" and run by a standard user) the user's local
// application data, in a folder of the program's. `moved` tells the last.
// `canWriteProgramDirectory` probes the disk, so it is asked only when no
// Directory is set.
struct RecordFolder {
    std::wstring directory;
    bool moved = false;
};
RecordFolder ChooseRecordFolder(SettingsStore& store, std::wstring_view programDirectory,
                                const std::function<bool()>& canWriteProgramDirectory,
                                std::wstring_view localAppData);

}  // namespace hourlink
