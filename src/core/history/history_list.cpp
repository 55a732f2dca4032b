#include "core/history/history_list.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <numeric>
#include <tuple>

#include "core/base/time_format.h"
#include "core/net/connection_type.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

// 1981-01-01 00:00 UTC: no record before it starts a month window.
constexpr std::int64_t k1981 = 347155200;
// The longest accounting month, 31 days; a month window's first record starts
// within this span after the window's beginning (or within the window's real
// length, which summer time can stretch by an hour).
constexpr std::int64_t kMonthSpan = 31 * 24 * 3600;

std::int64_t LocalDate(int year, int month, int day) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The value of the digits at the front of `text` after leading blanks, as the C
// library's atoi reads it but without overflow: at most 15 digits are taken.
std::int64_t LeadingNumber(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    std::int64_t value = 0;
    for (int digits = 0; i < text.size() && IsDigit(text[i]) && digits < 15; ++i, ++digits) {
        value = value * 10 + (text[i] - L'0');
    }
    return negative ? -value : value;
}

// The digits at the front of `text` without leading zeros: compared by length,
// then character by character, they order integers of any size.
std::wstring_view SignificantDigits(std::wstring_view text) {
    std::size_t end = 0;
    while (end < text.size() && IsDigit(text[end])) ++end;
    std::wstring_view digits = text.substr(0, end);
    while (!digits.empty() && digits.front() == L'0') digits.remove_prefix(1);
    return digits;
}

int CompareIntegers(std::wstring_view a, std::wstring_view b) {
    const std::wstring_view x = SignificantDigits(a);
    const std::wstring_view y = SignificantDigits(b);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    return x.compare(y) < 0 ? -1 : (x == y ? 0 : 1);
}

// The number at a fixed position of a date-time text; 0 where the text is
// shorter or holds no digits.
int FieldAt(std::wstring_view text, std::size_t pos, std::size_t width) {
    if (pos >= text.size()) return 0;
    return static_cast<int>(LeadingNumber(text.substr(pos, width)));
}

auto DateTimeFields(std::wstring_view t) {
    return std::make_tuple(FieldAt(t, 0, 4), FieldAt(t, 5, 2), FieldAt(t, 8, 2), FieldAt(t, 11, 2),
                           FieldAt(t, 14, 2), FieldAt(t, 17, 2));
}

std::array<std::int64_t, 4> AddressParts(std::wstring_view text) {
    std::array<std::int64_t, 4> parts{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t dot = text.find(L'.');
        parts[i] = LeadingNumber(text.substr(0, dot));
        if (dot == std::wstring_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return parts;
}

template <typename T>
int Order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int OrdinalCompare(std::wstring_view a, std::wstring_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::wstring Number(std::uint64_t value) {
    wchar_t buffer[24];
    std::swprintf(buffer, 24, L"%llu", static_cast<unsigned long long>(value));
    return buffer;
}

int RowImage(const SessionRecord& record) {
    return record.continuation == 0 ? kImageNormal : kImageContinued;
}

}  // namespace

namespace {

// Adds a finished session (its end after its start) to the month's sums, and to
// today's when it started at or after `midnight`.
void CountFinished(HistorySums& sums, const SessionRecord& r, std::int64_t midnight) {
    if (r.end <= r.start) return;
    sums.monthOnline += r.duration;
    sums.monthBilled += r.billed;
    sums.monthBytes += r.Bytes();
    if (static_cast<std::int64_t>(r.start) >= midnight) {
        sums.todayOnline += r.duration;
        sums.todayBilled += r.billed;
    }
}

// The window over `count` records whose starts `startAt` gives by index.
template <typename StartAt>
MonthWindow FindWindow(std::size_t count, StartAt&& startAt, Period period) {
    if (period.end <= period.begin) return {};
    const std::int64_t span = std::max(kMonthSpan, period.end - period.begin);
    int first = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t start = startAt(i);
        if (start >= k1981 && start > period.begin && start - period.begin < span) {
            first = static_cast<int>(i);
            break;
        }
    }
    if (first < 0) return {};
    for (std::size_t j = count; j-- > static_cast<std::size_t>(first);) {
        const std::int64_t start = startAt(j);
        if (start != 0 && start <= period.end) return {first, static_cast<int>(j)};
    }
    return {};
}

}  // namespace

MonthWindow FindMonthWindow(std::span<const SessionRecord> records, Period period) {
    return FindWindow(records.size(), [&](std::size_t i) { return records[i].start; }, period);
}

MonthWindow FindMonthWindow(const CompactRecords& records, Period period) {
    return FindWindow(records.size(), [&](std::size_t i) { return records.StartAt(i); }, period);
}

std::wstring_view ConnectionTypeName(int type) {
    switch (type) {
        case 1:
            return L"拨号上网";
        case 3:
            return L"虚拟专用网";
        default:
            return L"ADSL上网";
    }
}

bool HistoryFilter::Accepts(const SessionRecord& record) const {
    if (name.empty()) return type == kAnyType || record.type == type;
    if (type != kAnyType) return false;
    const std::string_view own = record.Name();
    return name.find(own) != std::string::npos || own.find(name) != std::string_view::npos;
}

HistoryFilter TreeSelectionFilter(std::wstring_view text, std::string gbkText) {
    const auto has = [text](std::wstring_view part) {
        return text.find(part) != std::wstring_view::npos;
    };
    if (has(L"计算机上网设备列表")) return {};
    if (has(L"拨号及ISDN上网")) return {"", 1};
    if (has(L"ADSL上网")) return {"", 2};
    if (has(L"虚拟专用网")) return {"", 3};
    return {std::move(gbkText), kAnyType};
}

bool IsListable(const SessionRecord& record) {
    static const std::int64_t k1992 = LocalDate(1992, 1, 1);
    return static_cast<std::int64_t>(record.start) >= k1992;
}

HistoryRow MakeHistoryRow(const SessionRecord& record, std::uint32_t index) {
    HistoryRow row;
    row.record = index;
    row.image = RowImage(record);
    auto& t = row.texts;
    t[kColumnStart] = FormatLocalTime(record.start);
    if (record.end > record.start) {
        t[kColumnEnd] = FormatLocalTime(record.end);
        t[kColumnDuration] = FormatDuration(record.duration);
        t[kColumnMinutes] = std::to_wstring(record.billed / 60);
    } else {
        t[kColumnEnd] = t[kColumnDuration] = t[kColumnMinutes] = kOpenCell;
    }
    row.name = record.Name();
    t[kColumnType] = ConnectionTypeName(record.type);
    const std::string_view ip = record.ClientIp();
    t[kColumnClientIp].assign(ip.begin(), ip.end());
    if (record.bytesSent != 0) {
        t[kColumnReceived] = Number(record.bytesReceived);
        t[kColumnSent] = Number(record.bytesSent);
    }
    return row;
}

std::int64_t LocalMidnightOf(std::int64_t t) {
    const auto tm = ToLocalTime(t);
    if (!tm) return t - t % 86400;
    return LocalDate(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday);
}

namespace {

// The local midnight after the one at `midnight`: 23, 24 or 25 hours later.
std::int64_t NextLocalMidnight(std::int64_t midnight) {
    const auto tm = ToLocalTime(midnight);
    if (!tm) return midnight + 86400;
    return LocalDate(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday + 1);
}

}  // namespace

HistoryList::HistoryList(RecordTable& table, const Clock& clock) : table_(table), clock_(clock) {}

void HistoryList::Start(int startDay) {
    const std::int64_t now = clock_.Now();
    midnight_ = LocalMidnightOf(now);
    nextMidnight_ = NextLocalMidnight(midnight_);
    startDay_ = startDay;
    currentMonth_ = MonthOfToday();
    month_ = currentMonth_;
}

YearMonth HistoryList::MonthOfToday() const {
    const auto tm = ToLocalTime(clock_.Now());
    if (!tm) return currentMonth_;
    return AccountingMonthLabel(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, startDay_);
}

void HistoryList::SetStartDay(int startDay) {
    if (startDay == startDay_) return;
    startDay_ = startDay;
    FollowCalendar();
}

bool HistoryList::FollowCalendar() {
    const YearMonth today = MonthOfToday();
    if (today == currentMonth_) return false;
    if (month_ == currentMonth_) month_ = today;
    currentMonth_ = today;
    ComputeCurrentSums();
    return true;
}

void HistoryList::ComputeWindow() {
    const Period period = ShownPeriod();
    window_ = table_.Read(
        [&](const CompactRecords& records) { return FindMonthWindow(records, period); });
    ComputeCurrentSums();
}

void HistoryList::ComputeCurrentSums() {
    currentSums_ = {};
    const Period period = AccountingPeriod(currentMonth_, startDay_);
    table_.Read([&](const CompactRecords& records) {
        const MonthWindow w = FindMonthWindow(records, period);
        if (w.Empty()) return;
        const auto end =
            std::min<std::size_t>(static_cast<std::size_t>(w.last) + 1, records.size());
        records.ForEach(static_cast<std::size_t>(w.first), end,
                        [&](std::size_t, const SessionRecord& r) {
                            if (IsListable(r)) CountFinished(currentSums_, r, midnight_);
                        });
    });
}

bool HistoryList::RollDay() {
    const std::int64_t now = clock_.Now();
    // A new day begins at local midnight; a clock set back before the stored
    // midnight starts the day anew too.
    if (now >= midnight_ && now < nextMidnight_) return false;
    midnight_ = LocalMidnightOf(now);
    nextMidnight_ = NextLocalMidnight(midnight_);
    sums_.todayOnline = 0;
    sums_.todayBilled = 0;
    // Counted again rather than cleared: a clock set back into a day already
    // lived finds its sessions there.
    ComputeCurrentSums();
    return true;
}

template <typename Listed>
void HistoryList::ScanWindow(const CompactRecords& records, const HistoryFilter& filter,
                             Listed&& listed) const {
    if (window_.Empty() || records.empty()) return;
    const auto end =
        std::min<std::size_t>(static_cast<std::size_t>(window_.last) + 1, records.size());
    records.ForEach(static_cast<std::size_t>(window_.first), end,
                    [&](std::size_t i, const SessionRecord& r) {
                        if (IsListable(r) && filter.Accepts(r)) listed(i, r);
                    });
}

HistoryList::Listing HistoryList::Fill(const HistoryFilter& filter) {
    // Today is today's before anything is summed into it.
    RollDay();
    Listing listing;
    sums_ = {};
    filter_ = filter;
    table_.Read([&](const CompactRecords& records) {
        if (window_.Empty() || static_cast<std::size_t>(window_.first) >= records.size()) return;
        listing.firstStart = records[static_cast<std::size_t>(window_.first)].start;
        ScanWindow(records, filter, [&](std::size_t i, const SessionRecord& r) {
            CountFinished(sums_, r, midnight_);
            listing.rows.push_back({static_cast<std::uint32_t>(i), RowImage(r)});
        });
    });
    listing.sums = sums_;
    adjustedMonthTotal_ = sums_.monthOnline;
    adjustedMonthBilled_ = sums_.monthBilled;
    return listing;
}

std::vector<SummedSession> HistoryList::SummedSessions() const {
    std::vector<SummedSession> sessions;
    table_.Read([&](const CompactRecords& records) {
        ScanWindow(records, filter_, [&](std::size_t, const SessionRecord& r) {
            if (r.end > r.start) sessions.push_back({r.start, r.duration, r.billed, r.Bytes()});
        });
    });
    return sessions;
}

void HistoryList::Adjust(SettingsStore& store, int pickerCalendarMonth) {
    const AccountingFigures adjusted =
        ApplyAdjustment(store, pickerCalendarMonth, {sums_.monthOnline, sums_.monthBilled, 0});
    adjustedMonthTotal_ = adjusted.monthTotal;
    adjustedMonthBilled_ = adjusted.monthBilled;
    // The correction, as it stands after that, belongs to the current month
    // when it was entered for it.
    const int hours = ReadSetting(store, settings::kAdjust);
    const bool forCurrent = ReadSetting(store, settings::kStartMonth) == currentMonth_.month;
    const std::int64_t seconds = std::int64_t{hours} * 3600;
    currentCorrection_ =
        !forCurrent ? 0 : (ReadSetting(store, settings::kRadioAdjust) == 0 ? seconds : -seconds);
}

AccountingFigures HistoryList::Figures() const {
    return {adjustedMonthTotal_, adjustedMonthBilled_, sums_.todayOnline, sums_.monthBytes};
}

AccountingFigures HistoryList::CurrentFigures() const {
    const auto corrected = [this](std::int64_t sum) {
        return std::max<std::int64_t>(0, sum + currentCorrection_);
    };
    return {corrected(currentSums_.monthOnline), corrected(currentSums_.monthBilled),
            currentSums_.todayOnline, currentSums_.monthBytes};
}

std::optional<ListedRow> HistoryList::OnSessionStart(const ConnectionStatus& status) {
    if (status.start == 0 || !IsTimedConnectionType(status.type)) return std::nullopt;
    // The watcher continued the file's last record: the table's last record is
    // that same session, listed already.
    if (status.continuesRecord != 0 && table_.Last()) return std::nullopt;
    SessionRecord live;
    live.marker = kRecordMarker;
    live.type = status.type;
    live.start = status.start;
    live.continuation = status.continuation;
    live.SetName(status.Name());
    live.SetClientIp(status.ClientIp());

    const std::size_t index = table_.Append(live);
    // A record at the end can widen the current month's window over records
    // out of order (a clock set back), which then count.
    ComputeCurrentSums();

    // Only a session of the month shown joins its window and its rows.
    const Period period = ShownPeriod();
    if (status.start <= period.begin || status.start > period.end) return std::nullopt;
    if (window_.Empty()) window_.first = static_cast<int>(index);
    window_.last = static_cast<int>(index);
    // The running session's face, whatever its continuation.
    return ListedRow{static_cast<std::uint32_t>(index), kImageNormal};
}

void HistoryList::OnSessionEnd(const ConnectionStatus& status, std::uint32_t received,
                               std::uint32_t sent) {
    if (status.start == 0 || !IsTimedConnectionType(status.type)) return;
    const auto last = table_.Last();
    // The watcher's word that the session continues the last record holds
    // whatever that record's state: after a restart it is open, after a flap of
    // the line it is a finished record of a second or two.
    const bool ownRecord = last && (last->start == status.start || status.continuesRecord != 0);
    {
        SessionRecord r = ownRecord ? *last : SessionRecord{};
        r.marker = kRecordMarker;
        r.continuation = status.continuation;
        r.type = status.type;
        r.start = status.start;
        r.end = status.end;
        r.duration = static_cast<std::int32_t>(status.duration);
        r.SetName(status.Name());
        r.billed = static_cast<std::int32_t>(status.billed);
        r.SetClientIp(status.ClientIp());
        r.bytesReceived = received;
        r.bytesSent = sent;
        if (ownRecord) {
            table_.Update(table_.Size() - 1, r);
        } else {
            table_.Append(r);
        }
    }
    ComputeWindow();
}

SortKind ClassifySortText(std::wstring_view t) {
    const std::size_t colon = t.find(L':');
    if (t.size() >= 7 && colon != std::wstring_view::npos && colon <= 6) return SortKind::Duration;
    if (std::all_of(t.begin(), t.end(), IsDigit)) return SortKind::Integer;
    if (t.size() > 14 && IsDigit(t[0]) && IsDigit(t[1]) && IsDigit(t[2]) && IsDigit(t[3]) &&
        t[4] == L'/' && IsDigit(t[5]) && IsDigit(t[6]) && t[7] == L'/' && IsDigit(t[8]) &&
        IsDigit(t[9]) && t[10] == L' ' && IsDigit(t[11]) && IsDigit(t[12])) {
        return SortKind::DateTime;
    }
    if (t.size() >= 7 && std::count(t.begin(), t.end(), L'.') > 2) return SortKind::Address;
    return SortKind::Text;
}

int CompareSortTexts(std::wstring_view a, std::wstring_view b, TextCompare textCompare) {
    switch (ClassifySortText(a)) {
        case SortKind::Duration:
            return Order(ParseDurationText(a), ParseDurationText(b));
        case SortKind::Integer:
            return CompareIntegers(a, b);
        case SortKind::DateTime:
            return Order(DateTimeFields(a), DateTimeFields(b));
        case SortKind::Address:
            return Order(AddressParts(a), AddressParts(b));
        case SortKind::Text:
            break;
    }
    return textCompare ? textCompare(a, b) : OrdinalCompare(a, b);
}

std::vector<std::uint32_t> SortOrder(const std::vector<std::wstring>& texts, bool descending,
                                     TextCompare textCompare) {
    std::vector<std::uint32_t> order(texts.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (descending) std::swap(a, b);
        return CompareSortTexts(texts[a], texts[b], textCompare) < 0;
    });
    return order;
}

int FindTypedRow(std::size_t count, int start, std::wstring_view typed, bool partial, bool wrap,
                 const RowText& textOf) {
    if (typed.empty() || count == 0) return -1;
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
    const auto matches = [&](std::wstring_view text) {
        if (text.size() < typed.size() || (!partial && text.size() != typed.size())) return false;
        return std::equal(typed.begin(), typed.end(), text.begin(),
                          [&](wchar_t a, wchar_t b) { return fold(a) == fold(b); });
    };
    const std::size_t from =
        start < 0 || static_cast<std::size_t>(start) >= count ? 0 : static_cast<std::size_t>(start);
    const std::size_t looks = wrap || from == 0 ? count : count - from;
    for (std::size_t i = 0; i < looks; ++i) {
        const std::size_t row = (from + i) % count;
        if (matches(textOf(row))) return static_cast<int>(row);
    }
    return -1;
}

bool ColumnSortState::Click(int column) {
    swapped_ = column == column_ ? !swapped_ : false;
    column_ = column;
    return swapped_;
}

std::int64_t ParseDurationText(std::wstring_view text) {
    const std::size_t first = text.find(L':');
    if (first == std::wstring_view::npos) return LeadingNumber(text) * 3600;
    const std::size_t last = text.rfind(L':');
    const std::int64_t hours = LeadingNumber(text.substr(0, first));
    const std::int64_t minutes =
        last > first ? LeadingNumber(text.substr(first + 1, last - first - 1)) : 0;
    const std::int64_t seconds = LeadingNumber(text.substr(last + 1));
    return hours * 3600 + minutes * 60 + seconds;
}

void SelectionTotals::Add(std::wstring_view durationText, std::wstring_view minutesText) {
    ++count_;
    if (durationText.empty()) return;
    seconds_ += ParseDurationText(durationText);
    minutes_ += LeadingNumber(minutesText);
}

std::array<std::wstring, 3> SelectionTotals::Texts() const {
    wchar_t count[48];
    std::swprintf(count, 48, L"所选%d项", count_);
    const std::int64_t s = seconds_ < 0 ? 0 : seconds_;
    wchar_t span[96];
    std::swprintf(span, 96, L"用时: %lld天\r\n%02d小时%02d分%02d秒\r\n",
                  static_cast<long long>(s / 86400), static_cast<int>(s / 3600 % 24),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    wchar_t minutes[64];
    std::swprintf(minutes, 64, L"所选项使用分钟: %lld分钟\r\n", static_cast<long long>(minutes_));
    return {count, span, minutes};
}

}  // namespace hourlink
