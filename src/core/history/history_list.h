// The history list's decisions, apart from any window: which records belong to
// the accounting month shown (the month window), which of them the current
// filter lists, the texts of their rows, the month's and today's sums, the row
// of the session that runs now, the order of a column sort and the totals of
// selected rows.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/base/clock.h"
#include "core/base/session_record.h"
#include "core/net/connection_watcher.h"
#include "core/records/record_table.h"

namespace hourlink {

// The list's columns: start, end, duration, name, billed minutes, type, client
// IP, bytes received, bytes sent.
inline constexpr int kHistoryColumnCount = 9;
enum HistoryColumn {
    kColumnStart,
    kColumnEnd,
    kColumnDuration,
    kColumnName,
    kColumnMinutes,
    kColumnType,
    kColumnClientIp,
    kColumnReceived,
    kColumnSent,
};

// Row pictures of the image strip: a finished or running session, and one
// whose record was continued or recovered at start-up.
inline constexpr int kImageNormal = 2;
inline constexpr int kImageContinued = 3;

// What the cells of a running session's end, duration and minutes hold.
inline constexpr std::wstring_view kOpenCell = L"          ";

// The range of table indices of a month, both ends included; -1 when empty.
struct MonthWindow {
    int first = -1;
    int last = -1;
    bool Empty() const { return first < 0 || last < first; }
    friend bool operator==(const MonthWindow&, const MonthWindow&) = default;
};

// The records of an accounting period: from the first record that starts after
// the period's beginning (a record exactly at the beginning belongs to the month
// before) to the last that starts no later than its end. Records before 1981
// are never the first. One pass at most over the table.
MonthWindow FindMonthWindow(std::span<const SessionRecord> records, Period period);
MonthWindow FindMonthWindow(const CompactRecords& records, Period period);

// The type name of a record's type: 1 dial-up, 3 VPN, anything else ADSL.
std::wstring_view ConnectionTypeName(int type);

// Which records the list shows: all of a type (type != kAnyType, name empty),
// or those whose name contains the filter or is contained in it.
inline constexpr int kAnyType = -1;
struct HistoryFilter {
    std::string name;  // GBK bytes
    int type = kAnyType;
    bool Accepts(const SessionRecord& record) const;
    friend bool operator==(const HistoryFilter&, const HistoryFilter&) = default;
};

// The filter of a device tree item. `text` is the item's text; `gbkText` the
// same text in GBK, which a connection name is compared with.
HistoryFilter TreeSelectionFilter(std::wstring_view text, std::string gbkText);

// Records that started before 1992 are never listed nor summed (clock errors).
bool IsListable(const SessionRecord& record);

// The texts of one row; the name stays GBK bytes for the window to convert.
struct HistoryRow {
    std::uint32_t record = 0;  // index in the table
    int image = kImageNormal;
    std::array<std::wstring, kHistoryColumnCount> texts;  // texts[kColumnName] empty
    std::string name;                                     // GBK
};
HistoryRow MakeHistoryRow(const SessionRecord& record, std::uint32_t index);

// A row as a listing gives it: which record, and its picture. Its texts are
// made from the record when they are shown (MakeHistoryRow), so a long month
// costs the list a few bytes a row.
struct ListedRow {
    std::uint32_t record = 0;  // index in the table
    int image = kImageNormal;
    friend bool operator==(const ListedRow&, const ListedRow&) = default;
};

// Seconds summed over the listed finished sessions.
struct HistorySums {
    std::int64_t monthOnline = 0;
    std::int64_t monthBilled = 0;
    std::int64_t todayOnline = 0;
    std::int64_t todayBilled = 0;
    std::int64_t monthBytes = 0;  // received and sent
    friend bool operator==(const HistorySums&, const HistorySums&) = default;
};

// A finished session as the month's sums count it (its end after its start).
struct SummedSession {
    std::int64_t start = 0;
    std::int64_t duration = 0;
    std::int64_t billed = 0;
    std::int64_t bytes = 0;  // received and sent
    friend bool operator==(const SummedSession&, const SummedSession&) = default;
};

// The local midnight that begins the day of `t`.
std::int64_t LocalMidnightOf(std::int64_t t);

// The history list's model: the month shown, its window in the record table,
// today's midnight and the sums of the last listing. It reads the table and, for
// the sessions of this run, writes it so that it mirrors the record file.
class HistoryList {
  public:
    struct Listing {
        std::vector<ListedRow> rows;
        HistorySums sums;
        std::int64_t firstStart = 0;  // start of the window's first record; 0 when empty
    };

    HistoryList(RecordTable& table, const Clock& clock);

    // Sets today's midnight and the current accounting month, the accounting
    // month of today's date for start day `startDay`, which is also the month
    // shown at start.
    void Start(int startDay);

    int StartDay() const { return startDay_; }
    // A new start day moves the current month to today's under it (the month
    // shown follows when it was the current one); the same one changes nothing.
    void SetStartDay(int startDay);
    // The month listed.
    YearMonth Month() const { return month_; }
    void SetMonth(YearMonth month) { month_ = month; }
    // The accounting month the time used now counts into.
    YearMonth CurrentMonth() const { return currentMonth_; }
    bool ShowingCurrentMonth() const { return month_ == currentMonth_; }
    Period ShownPeriod() const { return AccountingPeriod(month_, startDay_); }
    // The current month follows the calendar: it becomes the accounting month
    // of today's date, and the month shown follows it when it was the current
    // one. True when the current month moved. The caller chooses the moments:
    // never while a session runs, whose time keeps counting into the month it
    // began in.
    bool FollowCalendar();

    // Recomputes the month window over the table, and the current month's sums.
    void ComputeWindow();
    const MonthWindow& Window() const { return window_; }

    // The rows of the month window that `filter` accepts, with the sums.
    Listing Fill(const HistoryFilter& filter);
    const HistorySums& Sums() const { return sums_; }
    // The filter of the last listing.
    const HistoryFilter& Filter() const { return filter_; }
    // The finished sessions that the last listing summed into the month's
    // sums, in table order: the same window, filter and rules as Fill, read
    // again from the table (the usage chart's days are made from them).
    std::vector<SummedSession> SummedSessions() const;
    // Applies the user's manual correction to the month's sums of the last
    // listing (it lapses when the picker shows a month other than the one it was
    // entered for; see ApplyAdjustment). Call after each Fill.
    void Adjust(SettingsStore& store, int pickerCalendarMonth);
    // The figures of what is listed: the corrected month sums of the last
    // listing and today's sum of its rows, which a day roll clears at once.
    // The list's own totals show them.
    AccountingFigures Figures() const;
    // The figures of the time used: the whole current accounting month and
    // today, over every record whatever month is shown and whatever the filter,
    // with this month's correction. The limits, the tray tip, the drop window
    // and "本月用时" count these. This object is the one owner of both.
    AccountingFigures CurrentFigures() const;

    // Moves today's midnight on once the local date has changed, clearing the
    // day's sums; true when it did.
    bool RollDay();
    std::int64_t Midnight() const { return midnight_; }

    // A timed session began: puts it into the table as the watcher put it into
    // the file (a new record, unless the watcher found that it continues the
    // last one) and returns its live row when it is new and belongs to the
    // month shown. Nothing for a block without a start time or of a connection
    // that is not timed (the file never holds those).
    std::optional<ListedRow> OnSessionStart(const ConnectionStatus& status);
    // The session ended: completes its record from the block and the traffic
    // figures and recomputes the window. The record completed is the last one
    // when it is this session's (the same start, or the record the watcher
    // found the session continues); otherwise the session's start never reached the list
    // and its finished record is added. A finished record of another session is
    // never overwritten.
    void OnSessionEnd(const ConnectionStatus& status, std::uint32_t received, std::uint32_t sent);

  private:
    // Calls `listed(index, record)` for each record of the month window that
    // `filter` lists, in table order.
    template <typename Listed>
    void ScanWindow(const CompactRecords& records, const HistoryFilter& filter,
                    Listed&& listed) const;
    // The sums of the current month and of today over every listable record.
    void ComputeCurrentSums();
    YearMonth MonthOfToday() const;

    RecordTable& table_;
    const Clock& clock_;
    int startDay_ = kDefaultStartDay;
    YearMonth month_{};
    YearMonth currentMonth_{};
    MonthWindow window_;
    std::int64_t midnight_ = 0;
    std::int64_t nextMidnight_ = 0;
    HistorySums sums_;
    HistoryFilter filter_;
    // The month's online and billed sums with the correction applied.
    std::int64_t adjustedMonthTotal_ = 0;
    std::int64_t adjustedMonthBilled_ = 0;
    // The current month's sums, and the correction that applies to them (in
    // seconds, negative to subtract).
    HistorySums currentSums_;
    std::int64_t currentCorrection_ = 0;
};

// The comparison of two cell texts of a column sort, by the kind the first text
// has: a duration (h:mm:ss), an integer, a date and time, a dotted address, or
// else plain text compared by `textCompare` (the system's locale-aware
// comparison on Windows). Negative, zero or positive.
enum class SortKind { Duration, Integer, DateTime, Address, Text };
SortKind ClassifySortText(std::wstring_view text);
using TextCompare = int (*)(std::wstring_view a, std::wstring_view b);
int CompareSortTexts(std::wstring_view a, std::wstring_view b, TextCompare textCompare = nullptr);

// The order of a column sort: the positions of `texts` (each row's cell of
// the column) as CompareSortTexts orders them, ascending or else descending;
// rows whose texts compare equal keep their order.
std::vector<std::uint32_t> SortOrder(const std::vector<std::wstring>& texts, bool descending,
                                     TextCompare textCompare = nullptr);

// The row a typed search finds (the list's type-ahead): the first of `count`
// rows from `start` on, and then from the top when `wrap`, whose text
// (`textOf(row)`) begins with `typed`, or is `typed` when not `partial`; ASCII
// letters match either case. -1 when no row does or nothing was typed.
using RowText = std::function<std::wstring_view(std::size_t row)>;
int FindTypedRow(std::size_t count, int start, std::wstring_view typed, bool partial, bool wrap,
                 const RowText& textOf);

// The column sort's state: a click on the sorted column turns the direction
// round, a click on another column starts ascending.
class ColumnSortState {
  public:
    // Returns whether the comparison's operands are to be swapped (descending).
    bool Click(int column);
    int Column() const { return column_; }
    bool Swapped() const { return swapped_; }
    bool Ascending() const { return !swapped_; }

  private:
    int column_ = -1;
    bool swapped_ = true;
};

// Seconds of a "h:mm:ss" text: hours before the first colon, minutes between
// the colons, seconds after the last; unreadable parts count 0.
std::int64_t ParseDurationText(std::wstring_view text);

// The "计算总时间" totals of the selected rows.
class SelectionTotals {
  public:
    // The command needs more than one selected row.
    static bool Enabled(int selectedCount) { return selectedCount > 1; }
    // One selected row with its duration and minutes cells.
    void Add(std::wstring_view durationText, std::wstring_view minutesText);
    int Count() const { return count_; }
    std::int64_t Seconds() const { return seconds_; }
    std::int64_t Minutes() const { return minutes_; }
    // The three texts appended to the text pane, in order: the count, the time
    // span, the minutes.
    std::array<std::wstring, 3> Texts() const;

  private:
    int count_ = 0;
    std::int64_t seconds_ = 0;
    std::int64_t minutes_ = 0;
};

}  // namespace hourlink
