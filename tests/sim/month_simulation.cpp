#include "month_simulation.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "core/base/session_record.h"
#include "core/history/history_list.h"
#include "core/net/connection_watcher.h"
#include "core/records/backup_file.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_maintenance.h"
#include "core/accounting/data_allowance.h"
#include "core/session/session_core.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fake_network.h"
#include "memory_file_system.h"

namespace hourlink::sim {
namespace {

constexpr wchar_t kRecordPath[] = L"C:\\Hourlink\\adsl.bs";
constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 3600;

// ---- Local time, for the reference, from the C library alone ----

std::int64_t LocalTime(int year, int month, int day, int hour = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

std::tm Local(std::int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
}

std::int64_t MidnightOf(std::int64_t t) {
    const std::tm tm = Local(t);
    return LocalTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string TimeText(std::int64_t t) {
    const std::tm tm = Local(t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

// ---- The reference ----

// A record the file must hold.
struct Expected {
    std::int64_t start = 0;
    std::int64_t duration = 0;  // 0 while open (or completed with nothing)
    int type = 0;
    std::string ip;
    std::int64_t bytes = 0;  // received and sent, as the last tick measured them
};

// Whole minutes, down with fewer than 2 seconds over, up otherwise.
std::int64_t Billed(std::int64_t seconds) {
    const std::int64_t r = seconds % 60;
    return r < 2 ? seconds - r : seconds - r + 60;
}

// The accounting month whose period holds `t`: of the date's month and its
// neighbours, the one whose period contains it.
YearMonth MonthHolding(std::int64_t t, int startDay) {
    const std::tm tm = Local(t);
    YearMonth m{tm.tm_year + 1900, tm.tm_mon + 1};
    for (YearMonth candidate : {PreviousMonth(m), m, NextMonth(m)}) {
        const Period p = AccountingPeriod(candidate, startDay);
        if (t >= p.begin && t < p.end) return candidate;
    }
    return {};
}

// The records a month lists: from the first that starts after the period's
// beginning (within a month of it) to the last that starts no later than its
// end, in file order.
std::pair<int, int> WindowOf(const std::vector<Expected>& records, Period period) {
    const std::int64_t span = std::max<std::int64_t>(31 * 24 * kHour, period.end - period.begin);
    int first = -1;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::int64_t s = records[i].start;
        if (s > period.begin && s - period.begin < span) {
            first = static_cast<int>(i);
            break;
        }
    }
    if (first < 0) return {-1, -1};
    for (int j = static_cast<int>(records.size()) - 1; j >= first; --j) {
        if (records[static_cast<std::size_t>(j)].start <= period.end) return {first, j};
    }
    return {-1, -1};
}

struct Sums {
    std::int64_t month = 0;
    std::int64_t billed = 0;
    std::int64_t today = 0;
    std::int64_t bytes = 0;
};

Sums SumsOf(const std::vector<Expected>& records, Period period, std::int64_t midnight) {
    Sums sums;
    const auto [first, last] = WindowOf(records, period);
    for (int i = first; first >= 0 && i <= last; ++i) {
        const Expected& r = records[static_cast<std::size_t>(i)];
        if (r.duration <= 0) continue;
        sums.month += r.duration;
        sums.billed += Billed(r.duration);
        sums.bytes += r.bytes;
        if (r.start >= midnight) sums.today += r.duration;
    }
    return sums;
}

// ---- The simulation ----

class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Link { kNone, kLan, kRas };

// The phonebook: a PPPoE entry (broadband), a modem and a VPN.
struct RasEntry {
    const char* name;
    int type;
    const char* ip;
};
constexpr RasEntry kRasEntries[] = {
    {"ADSL", 2, "58.40.1.2"},
    {"Modem", 1, "61.2.3.4"},
    {"Office VPN", 3, "10.8.0.6"},
};

class Simulation;

// One run of the program, as the Windows shell puts it together.
struct Program final : WatcherEvents {
    Program(Simulation& sim, test::FakeNetwork& net, fuzz::MemoryFileSystem& files,
            ManualClock& clock, MemorySettingsStore& settings)
        : sim(sim),
          info(net, notifier, clock),
          doc(files, clock, notifier),
          maintenance(files, clock, settings, notifier),
          watcher(info, doc, table, settings, clock, *this),
          core(table, settings, clock, info),
          backup(files) {}

    void SessionStarted(const ConnectionStatus& status) override {
        posted.push_back({false, status});
    }
    void SessionEnded(const ConnectionStatus& status) override;
    void RecordsLoaded() override { posted.push_back({true, {}}); }
    void Log(std::wstring text) override { logs.push_back(std::move(text)); }
    void PlaySound(std::wstring_view) override {}
    void StartPrograms() override {}
    void EndPrograms() override {}
    void Pause(int) override {}

    struct Posted {
        bool loaded;
        ConnectionStatus status;
    };

    Simulation& sim;
    SilentNotifier notifier;
    NetworkInfo info;
    CFixLenRecDoc doc;
    RecordTable table;
    RecordMaintenance maintenance;
    ConnectionWatcher watcher;
    SessionCore core;
    BackupFile backup;
    std::deque<Posted> posted;
    std::vector<std::wstring> logs;
    // The view's part: its tree filter and what its last listing showed.
    HistoryFilter treeFilter;
    std::uint64_t dayTimerAt = 0;
};

class Simulation {
  public:
    explicit Simulation(const SimulationOptions& options)
        : options_(options), random_(options.seed), files_({}) {}

    SimulationResult Run();
    void OnSessionEnded(const ConnectionStatus& status) { Deliver(status); }

  private:
    // The world.
    std::uint64_t Ticks() const { return clock_.TickCount(); }
    void AdvanceTo(std::uint64_t ticks);
    void LinkUp(Link link);
    void LinkDown();
    void UpdateRasStatistics();
    bool LinkIsUp() const { return link_ != Link::kNone; }
    // The link's byte counters now: both directions at the link's own rates
    // since it came up, from a LAN adapter's count before that.
    std::uint64_t LinkReceived() const;
    std::uint64_t LinkSent() const;

    // The program, as the shell drives it.
    void StartProgram();
    void StopProgram();
    void Pass(bool pump = true);
    void Pump();
    void Deliver(const ConnectionStatus& status);
    void Tick();
    void DayTimer();
    void EndSessionNow();
    void LoadRecords();
    void ShowMonth(YearMonth month);
    void ListAgain();

    // The reference.
    void ExpectFirstCheck();
    void ExpectDetection(bool firstCheck);
    void ExpectEnd();
    std::int64_t Measured() const;
    std::int64_t LinkStart() const;
    void ExpectTick(const SessionCore::Tick& tick);

    // The checks.
    void Check();
    void CheckListing(const HistoryList::Listing& listing);
    void Fail(const std::string& what);
    void Note(const std::string& what);

    // The events.
    void NextEvent();
    std::int64_t Gap();
    int Random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }

    SimulationOptions options_;
    std::mt19937_64 random_;
    SimulationResult result_;

    ManualClock clock_;
    fuzz::MemoryFileSystem files_;
    test::FakeNetwork net_;
    MemorySettingsStore settings_;
    Link link_ = Link::kNone;
    std::uint64_t linkUpTicks_ = 0;
    std::uint64_t linkBase_ = 0;  // a LAN adapter's count when the link came up
    int receiveRate_ = 0;         // bytes a second
    int sendRate_ = 0;
    const RasEntry* ras_ = nullptr;
    RasHandle rasHandle_ = 0x100;
    std::unique_ptr<Program> program_;
    std::uint64_t restartAt_ = 0;
    // The disk fails every call for a while (full, or gone): the program keeps
    // its writes and tries them again once it works.
    bool diskFailing_ = false;

    // The reference: the records, the one the program times now (with the
    // seconds it had lasted when found and the tick count then), the backup's
    // value, and the limits' alarms.
    std::vector<Expected> expected_;
    std::optional<std::size_t> running_;
    std::int64_t runningBackdate_ = 0;
    std::uint64_t runningTicks_ = 0;
    std::int64_t runningStart_ = 0;  // the start its end writes (a continued record's new one)
    // The program has taken the running session's start (the watcher's posted
    // news); until then its record is in the file but not yet in the table.
    bool startTaken_ = false;
    std::int64_t backup_ = -1;
    bool monthAlarm_ = false;
    bool dayAlarm_ = false;
    // The running session's bytes as the program measures them: a RAS
    // connection's counters from its start, a LAN's from the first tick of
    // this run of the program. Kept by the reference's own rule.
    bool firstTickOfRun_ = false;
    std::uint32_t receivedBase_ = 0;
    std::uint32_t sentBase_ = 0;
    std::int64_t runningBytes_ = 0;
    // The month the data allowance's alarm was given in (it lives in the
    // settings, so it outlives a run), and the allowance then.
    int dataAlarmedMonth_ = 0;

    std::deque<std::string> trail_;
};

void Program::SessionEnded(const ConnectionStatus& status) {
    sim.OnSessionEnded(status);
}

// ---- The world ----

void Simulation::AdvanceTo(std::uint64_t ticks) {
    if (ticks > Ticks()) clock_.Advance(static_cast<std::int64_t>((ticks - Ticks()) / 1000));
    UpdateRasStatistics();
}

std::uint64_t Simulation::LinkReceived() const {
    return linkBase_ + (Ticks() - linkUpTicks_) / 1000 * static_cast<std::uint64_t>(receiveRate_);
}

std::uint64_t Simulation::LinkSent() const {
    return linkBase_ + (Ticks() - linkUpTicks_) / 1000 * static_cast<std::uint64_t>(sendRate_);
}

void Simulation::UpdateRasStatistics() {
    if (link_ == Link::kLan) {
        net_.interfaceRows = {{6, "Realtek PCIe GbE", static_cast<std::uint32_t>(LinkReceived()),
                               static_cast<std::uint32_t>(LinkSent())}};
    }
    if (link_ != Link::kRas) return;
    net_.statistics[rasHandle_] = {static_cast<std::uint32_t>(LinkReceived()),
                                   static_cast<std::uint32_t>(LinkSent()), 0,
                                   static_cast<std::uint32_t>(Ticks() - linkUpTicks_)};
}

void Simulation::LinkUp(Link link) {
    link_ = link;
    linkUpTicks_ = Ticks();
    receiveRate_ = Random(0, 4000);
    sendRate_ = Random(0, 1000);
    linkBase_ = link == Link::kLan ? static_cast<std::uint64_t>(Random(1, 1 << 30)) : 0;
    if (link == Link::kLan) {
        net_.SetUpLan("192.168.1.20", "192.168.1.1");
        Note("LAN up");
        return;
    }
    ras_ = &kRasEntries[Random(0, 2)];
    ++rasHandle_;
    net_.connections = {{rasHandle_, ras_->name}};
    net_.pppAddresses[rasHandle_] = {0, ras_->ip};
    net_.adapters = {{23, "WAN (PPP/SLIP) Interface", ras_->ip, 0, ""}};
    UpdateRasStatistics();
    Note(std::string("RAS up: ") + ras_->name);
}

void Simulation::LinkDown() {
    Note(link_ == Link::kLan ? "LAN down" : "RAS down");
    if (link_ == Link::kLan) net_.TearDownLan();
    net_.interfaceRows.clear();
    net_.connections.clear();
    net_.adapters.clear();
    link_ = Link::kNone;
}

// ---- The program ----

void Simulation::StartProgram() {
    Note("program starts");
    ++result_.restarts;
    // The frame's creation: settings normalised, the session core, the views.
    NormalizeSettingsAtStartup(settings_);
    program_ = std::make_unique<Program>(*this, net_, files_, clock_, settings_);
    Program& p = *program_;
    p.watcher.SetStartupRecovery(p.maintenance.StartupRecovery());
    p.watcher.SetRecordStarting([&p](std::uint32_t s) { p.backup.Write(s - s % 60); });
    p.doc.SetPurgeCheck(p.maintenance.PurgeCheck());
    p.dayTimerAt = Ticks() + p.core.MillisecondsToNextDay();
    // The watcher thread's first check, and the backup opened beside the file.
    p.backup.Open(BackupFile::PathBeside(kRecordPath));
    p.watcher.OpenRecordFile(kRecordPath);
    UpdateRasStatistics();
    ExpectFirstCheck();
    p.watcher.Start();
    Pump();
}

void Simulation::StopProgram() {
    program_.reset();
    running_.reset();
    // A new run raises its alarms afresh.
    monthAlarm_ = dayAlarm_ = false;
}

void Simulation::Pass(bool pump) {
    UpdateRasStatistics();
    const bool wasRunning = running_.has_value();
    program_->watcher.OnAddressChange();
    if (wasRunning && !LinkIsUp()) ExpectEnd();
    if (!running_ && LinkIsUp()) ExpectDetection(false);
    if (pump) Pump();
}

void Simulation::Pump() {
    while (program_ && !program_->posted.empty()) {
        const Program::Posted message = program_->posted.front();
        program_->posted.pop_front();
        if (message.loaded) {
            LoadRecords();
        } else {
            Deliver(message.status);
        }
    }
}

void Simulation::Deliver(const ConnectionStatus& status) {
    Program& p = *program_;
    const std::wstring name(status.Name().begin(), status.Name().end());
    const SessionCore::Change change = p.core.OnConnectionEvent(status, name);
    switch (change.kind) {
        case SessionCore::Change::Kind::kNone:
            return;
        case SessionCore::Change::Kind::kConnected:
            ++result_.sessions;
            startTaken_ = true;
            if (change.relist) ListAgain();
            if (change.timed) Tick();
            return;
        case SessionCore::Change::Kind::kDisconnected:
            ListAgain();
            monthAlarm_ = dayAlarm_ = false;
            return;
    }
}

void Simulation::Tick() {
    Program& p = *program_;
    ++result_.ticks;
    const SessionCore::Tick tick = p.core.OnTick();
    p.watcher.RetryPendingWrite();
    p.watcher.SetElapsed(tick.elapsed);
    const TrafficFigures& f = tick.trafficFigures;
    if (tick.traffic.sampled) p.watcher.SetTraffic(f.speed, f.received, f.sent);
    if (tick.backup) p.backup.Write(*tick.backup);
    if (running_ && static_cast<std::int64_t>(tick.elapsed) != Measured()) {
        Fail("the tick counts " + std::to_string(tick.elapsed) + " s of a session of " +
             std::to_string(Measured()) + " s");
    }
    ExpectTick(tick);
}

void Simulation::DayTimer() {
    Program& p = *program_;
    p.dayTimerAt = Ticks() + p.core.MillisecondsToNextDay();
    if (p.core.OnDayTimer()) ListAgain();
}

void Simulation::EndSessionNow() {
    Program& p = *program_;
    if (!p.core.Timed() || !p.watcher.IsActive()) return;
    p.watcher.SetElapsed(p.core.Elapsed());
    p.watcher.EndSession();
    ExpectEnd();
}

void Simulation::LoadRecords() {
    HistoryList& list = program_->core.History();
    list.SetStartDay(ReadStartDay(settings_));
    list.ComputeWindow();
    CheckListing(list.Fill({}));
    list.Adjust(settings_, list.Month().month);
    program_->core.OnListed();
}

void Simulation::ShowMonth(YearMonth month) {
    HistoryList& list = program_->core.History();
    list.SetStartDay(ReadStartDay(settings_));
    list.SetMonth(month);
    list.ComputeWindow();
    CheckListing(list.Fill(program_->treeFilter));
    list.Adjust(settings_, list.Month().month);
}

void Simulation::ListAgain() {
    HistoryList& list = program_->core.History();
    CheckListing(list.Fill({}));
    list.Adjust(settings_, list.Month().month);
    program_->core.OnListed();
}

// ---- The reference ----

std::int64_t Simulation::Measured() const {
    return runningBackdate_ + static_cast<std::int64_t>((Ticks() - runningTicks_) / 1000);
}

// Where the program puts the start of the link up now: a RAS connection's
// start is known (it has lasted its statistics' whole seconds), a LAN's is now.
std::int64_t Simulation::LinkStart() const {
    if (link_ == Link::kRas) {
        return clock_.Now() - static_cast<std::int64_t>((Ticks() - linkUpTicks_) / 1000);
    }
    return clock_.Now();
}

// The first check of a run: a link up now continues the last record when it
// is that record's session (the same address, a start within 12 seconds, the
// record still open); otherwise the last record, left open by a crash, is
// completed from the backup.
void Simulation::ExpectFirstCheck() {
    if (expected_.empty()) {
        if (LinkIsUp()) ExpectDetection(true);
        return;
    }
    Expected& last = expected_.back();
    const std::string ip = link_ == Link::kLan ? "192.168.1.20" : (ras_ ? ras_->ip : "");
    const bool continues = LinkIsUp() && last.ip == ip && last.duration < 2 &&
                           std::llabs(LinkStart() - last.start) < 13;
    if (!continues && last.duration == 0 && backup_ >= 0) last.duration = backup_;
    if (LinkIsUp()) ExpectDetection(true);
}

void Simulation::ExpectDetection(bool firstCheck) {
    const std::int64_t start = LinkStart();
    const std::string ip = link_ == Link::kLan ? "192.168.1.20" : ras_->ip;
    const int type = link_ == Link::kLan ? 2 : ras_->type;
    (void)firstCheck;
    // A link found within 12 seconds of the start of the last record, from
    // the same address, while that record is open or under 2 seconds long, is
    // that record's session: after a restart, or a flap of the line.
    const bool continues = !diskFailing_ && !expected_.empty() && expected_.back().ip == ip &&
                           expected_.back().duration < 2 &&
                           std::llabs(start - expected_.back().start) < 13;
    if (!continues) expected_.push_back({start, 0, type, ip});
    running_ = expected_.size() - 1;
    startTaken_ = continues;
    runningStart_ = start;
    runningBackdate_ = clock_.Now() - start;
    runningTicks_ = Ticks();
    firstTickOfRun_ = true;
    runningBytes_ = 0;
    // The backup belongs to this record from its start.
    if (!continues && !diskFailing_) backup_ = runningBackdate_ - runningBackdate_ % 60;
    Note(continues ? "the program continues the last record" : "the program times a new session");
}

void Simulation::ExpectEnd() {
    if (!running_) return;
    Expected& r = expected_[*running_];
    r.start = runningStart_;
    r.duration = Measured();
    r.bytes = runningBytes_;
    running_.reset();
    Note("the session ends after " + std::to_string(r.duration) + " s");
}

void Simulation::ExpectTick(const SessionCore::Tick& tick) {
    if (!running_) return;
    const std::int64_t measured = Measured();
    if (measured % 60 == 0 && !diskFailing_) backup_ = measured;
    const HistoryList& list = program_->core.History();
    const Period period = AccountingPeriod(list.CurrentMonth(), list.StartDay());
    const Sums sums = SumsOf(expected_, period, MidnightOf(clock_.Now()));
    // The month counts its finished sessions' billed time and the running
    // session, its running minute as begun; the day its durations.
    const std::int64_t monthMinutes = (sums.billed + measured) / 60 + 1;
    const std::int64_t monthLimit = ReadSetting(settings_, settings::kLimitTime) * 60 - 1;
    bool monthDue = false;
    if (monthMinutes < monthLimit) {
        monthAlarm_ = false;
    } else if (!monthAlarm_) {
        monthAlarm_ = monthDue = true;
    }
    // The running session's bytes at this tick's sample.
    // Counters of 32 bits, taken in steps modulo 2^32.
    const auto received = static_cast<std::uint32_t>(LinkReceived());
    const auto sent = static_cast<std::uint32_t>(LinkSent());
    if (link_ == Link::kRas || firstTickOfRun_) {
        receivedBase_ = link_ == Link::kRas ? 0 : received;
        sentBase_ = link_ == Link::kRas ? 0 : sent;
    }
    if (LinkIsUp()) {
        runningBytes_ = std::int64_t{static_cast<std::uint32_t>(received - receivedBase_)} +
                        static_cast<std::uint32_t>(sent - sentBase_);
    }
    firstTickOfRun_ = false;
    // The data allowance: once a month, when the month's bytes reach it.
    const std::int64_t monthBytes = sums.bytes + runningBytes_;
    const std::int64_t allowance =
        std::int64_t{ReadSetting(settings_, settings::kDataLimit)} * kBytesPerMegabyte;
    const int mark = MonthMark(list.CurrentMonth());
    bool dataDue = false;
    if (allowance > 0 && monthBytes >= allowance && dataAlarmedMonth_ != mark) {
        dataAlarmedMonth_ = mark;
        dataDue = true;
    }
    const std::int64_t dayMinutes = (sums.today + measured) / 60;
    bool dayDue = false;
    if (dayMinutes >= ReadSetting(settings_, settings::kDayLimit) * 60) {
        if (!dayAlarm_) dayAlarm_ = dayDue = true;
    } else {
        dayAlarm_ = false;
    }
    bool monthShown = false, dayShown = false, dataShown = false;
    for (const LimitDecision& d : tick.decisions) {
        if (d.action != LimitDecision::Action::kShowPopup) continue;
        if (d.popupText.find(L"流量") != std::wstring::npos) {
            dataShown = true;
        } else {
            (d.popupText.find(L"每天") != std::wstring::npos ? dayShown : monthShown) = true;
        }
    }
    if (dataShown != dataDue) {
        Fail(std::string("the data allowance ") + (dataDue ? "did not fire" : "fired") + " at " +
             std::to_string(monthBytes) + " of " + std::to_string(allowance) + " bytes");
    }
    if (monthShown != monthDue) {
        Fail(std::string("the monthly limit ") + (monthDue ? "did not fire" : "fired") + " at " +
             std::to_string(monthMinutes) + " of " + std::to_string(monthLimit) + " minutes");
    }
    if (dayShown != dayDue) {
        Fail(std::string("the daily limit ") + (dayDue ? "did not fire" : "fired") + " at " +
             std::to_string(dayMinutes) + " minutes today");
    }
}

// ---- The checks ----

void Simulation::Check() {
    // While the disk fails the file lags behind; it must catch up after.
    if (diskFailing_) return;
    // The file holds the expected records, and nothing else changed.
    const auto& bytes = files_.contents[kRecordPath];
    if (bytes.size() < kHeaderSize) {
        if (!expected_.empty()) Fail("the record file is gone");
        return;
    }
    const RecordFileHeader header = DecodeHeader(bytes.data());
    if (header.recordCount != expected_.size() ||
        bytes.size() < kHeaderSize + header.recordCount * kRecordSize) {
        Fail("the file holds " + std::to_string(header.recordCount) + " records, expected " +
             std::to_string(expected_.size()));
    }
    std::vector<SessionRecord> file;
    for (std::size_t i = 0; i < header.recordCount; ++i) {
        file.push_back(DecodeRecord(bytes.data() + kHeaderSize + i * kRecordSize));
        const SessionRecord& r = file.back();
        const Expected& e = expected_[i];
        if (r.start != e.start || r.duration != e.duration || r.type != e.type ||
            r.ClientIp() != e.ip || (e.duration > 0 && r.end != r.start + r.duration)) {
            Fail("record " + std::to_string(i) + " is " + TimeText(r.start) + " for " +
                 std::to_string(r.duration) + " s, type " + std::to_string(r.type) + "; expected " +
                 TimeText(e.start) + " for " + std::to_string(e.duration) + " s, type " +
                 std::to_string(e.type));
        }
    }
    if (!program_) return;
    Program& p = *program_;
    // The table the list reads mirrors the file.
    const std::vector<SessionRecord> table = p.table.Snapshot();
    if (table.size() != file.size()) {
        Fail("the table holds " + std::to_string(table.size()) + " records, the file " +
             std::to_string(file.size()));
    }
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].start != file[i].start || table[i].duration != file[i].duration) {
            Fail("the table's record " + std::to_string(i) + " differs from the file's");
        }
    }
    // With no session running the current month is today's.
    const HistoryList& list = p.core.History();
    const int startDay = ReadStartDay(settings_);
    if (!p.core.Timed() && list.CurrentMonth() != MonthHolding(clock_.Now(), startDay)) {
        const YearMonth m = list.CurrentMonth();
        Fail("the current month is " + std::to_string(m.year) + "/" + std::to_string(m.month) +
             " on " + TimeText(clock_.Now()));
    }
    // The figures of the time used are the whole current month's.
    const Sums sums = SumsOf(expected_, AccountingPeriod(list.CurrentMonth(), list.StartDay()),
                             MidnightOf(clock_.Now()));
    const AccountingFigures figures = p.core.CurrentFigures();
    if (figures.monthBytes != sums.bytes) {
        Fail("the month's finished sessions hold " + std::to_string(figures.monthBytes) +
             " bytes, expected " + std::to_string(sums.bytes));
    }
    if (figures.monthTotal != sums.month || figures.monthBilled != sums.billed ||
        figures.todayTotal != sums.today) {
        const YearMonth m = list.CurrentMonth();
        Fail("the figures of " + std::to_string(m.year) + "/" + std::to_string(m.month) +
             " (start day " + std::to_string(list.StartDay()) + ") are " +
             std::to_string(figures.monthTotal) + "/" + std::to_string(figures.monthBilled) + "/" +
             std::to_string(figures.todayTotal) + " s (month, billed, today), expected " +
             std::to_string(sums.month) + "/" + std::to_string(sums.billed) + "/" +
             std::to_string(sums.today));
    }
}

// A listing shows the listable records of the month shown that its filter takes.
void Simulation::CheckListing(const HistoryList::Listing& listing) {
    const HistoryList& list = program_->core.History();
    const auto [first, last] = WindowOf(expected_, list.ShownPeriod());
    std::size_t rows = 0;
    for (int i = first; first >= 0 && i <= last; ++i) {
        if (running_ && *running_ == static_cast<std::size_t>(i) && !startTaken_) continue;
        const Expected& e = expected_[static_cast<std::size_t>(i)];
        const HistoryFilter& f = list.Filter();
        const bool taken = f.name.empty()
                               ? (f.type == kAnyType || f.type == e.type)
                               : (f.type == kAnyType && f.name == "LAN" && e.ip == "192.168.1.20");
        if (taken) ++rows;
    }
    if (listing.rows.size() != rows) {
        Fail("the list shows " + std::to_string(listing.rows.size()) + " rows, expected " +
             std::to_string(rows));
    }
}

void Simulation::Note(const std::string& what) {
    trail_.push_back(TimeText(clock_.Now()) + "  " + what);
    if (trail_.size() > 40) trail_.pop_front();
}

void Simulation::Fail(const std::string& what) {
    std::ostringstream out;
    out << "simulation seed " << options_.seed << ", " << TimeText(clock_.Now()) << ": " << what
        << "\nthe events that led there:\n";
    for (const std::string& line : trail_) out << "  " << line << "\n";
    throw Failure(out.str());
}

// ---- The events ----

std::int64_t Simulation::Gap() {
    // Mostly minutes to hours apart, now and then seconds.
    const double mean = Chance(0.1) ? 20.0 : 100.0 * kMinute;
    return 1 +
           static_cast<std::int64_t>(std::exponential_distribution<double>(1.0 / mean)(random_));
}

void Simulation::NextEvent() {
    ++result_.events;
    if (!program_) {
        // Down: the world goes on until the program is started again.
        if (Ticks() >= restartAt_) {
            StartProgram();
        } else if (LinkIsUp() ? Chance(0.3) : Chance(0.3)) {
            LinkIsUp() ? LinkDown() : LinkUp(Chance(0.5) ? Link::kLan : Link::kRas);
        }
        return;
    }
    Program& p = *program_;
    const int roll = Random(0, 99);
    if (roll < 40) {
        // A link comes up or drops; the watcher looks at once. Now and then
        // the program dies before it has handled what the watcher posted.
        LinkIsUp() ? LinkDown() : LinkUp(Chance(0.6) ? Link::kLan : Link::kRas);
        const bool crash = !diskFailing_ && Chance(0.04);
        Pass(!crash);
        if (crash) {
            Note("the program crashes before it handles the watcher's news");
            StopProgram();
            restartAt_ = Ticks() + static_cast<std::uint64_t>(Random(1, 3600)) * 1000;
        }
    } else if (diskFailing_ && roll < 55) {
        // Nothing stops the program while its disk fails: the disk works
        // again first, and the kept writes land at the next tick or retry.
        files_.SetFaults({});
        diskFailing_ = false;
        Note("the disk works again");
        p.watcher.RetryPendingWrite();
    } else if (roll < 43) {
        files_.SetFaults({.failAt = 1, .sticky = true});
        diskFailing_ = true;
        Note("the disk fails");
    } else if (roll < 46) {
        Note("the program crashes");
        StopProgram();
        restartAt_ = Ticks() + static_cast<std::uint64_t>(Random(1, 2 * 3600)) * 1000;
    } else if (roll < 50) {
        Note("Windows shuts down");
        EndSessionNow();
        StopProgram();
        if (LinkIsUp()) LinkDown();
        AdvanceTo(Ticks() + static_cast<std::uint64_t>(Random(kHour, 14 * kHour)) * 1000);
        if (Chance(0.5)) LinkUp(Link::kLan);
        StartProgram();
    } else if (roll < 55) {
        Note("the computer sleeps");
        EndSessionNow();
        const bool lanStays = link_ == Link::kLan && Chance(0.7);
        if (LinkIsUp() && !lanStays) LinkDown();
        const std::uint64_t wake =
            Ticks() + static_cast<std::uint64_t>(Random(600, 12 * kHour)) * 1000;
        // Timers fire late, once, at the wake-up.
        AdvanceTo(wake);
        Note("the computer wakes up");
        Pass();
        DayTimer();
    } else if (roll < 60) {
        const std::int64_t delta = Chance(0.2) ? Random(-1, 1) * 24 * kHour + Random(-60, 60)
                                               : Random(-3 * 3600, 3 * 3600);
        clock_.Set(clock_.Now() + delta);
        Note("the clock is set by " + std::to_string(delta) + " s");
        DayTimer();  // WM_TIMECHANGE
    } else if (roll < 75) {
        // The user browses: another month, a filter, or back to this month.
        const HistoryList& list = p.core.History();
        if (Chance(0.4)) {
            p.treeFilter = {};
            ShowMonth(list.CurrentMonth());
            Note("the user goes back to this month");
        } else {
            YearMonth m = list.CurrentMonth();
            for (int i = Random(-2, 1); i < 0; ++i) m = PreviousMonth(m);
            if (Chance(0.2)) m = NextMonth(m);
            static const HistoryFilter kFilters[] = {
                {}, {"", 1}, {"", 2}, {"", 3}, {"LAN", kAnyType}};
            p.treeFilter = kFilters[Random(0, 4)];
            ShowMonth(m);
            Note("the user shows " + std::to_string(m.year) + "/" + std::to_string(m.month));
        }
    } else if (roll < 79) {
        // The options: a start day and limits.
        static const int kStartDays[] = {1, 21, 29, 30};
        const UsageLimitSettings before = ReadUsageLimitSettings(settings_);
        WriteSetting(settings_, settings::kStartDate, kStartDays[Random(0, 3)]);
        if (Chance(0.3)) {
            WriteSetting(settings_, settings::kDataLimit, Chance(0.2) ? 0 : Random(20, 1500));
            // A new allowance may alarm again this month.
            if (ReadSetting(settings_, settings::kDataLimit) != before.dataMegabytes) {
                dataAlarmedMonth_ = 0;
            }
        }
        WriteSetting(settings_, settings::kLimitTime, Random(5, 120));
        WriteSetting(settings_, settings::kDayLimit, Random(1, 8));
        Note("options: start day " + std::to_string(ReadStartDay(settings_)) + ", limits " +
             std::to_string(ReadSetting(settings_, settings::kLimitTime)) + " h and " +
             std::to_string(ReadSetting(settings_, settings::kDayLimit)) + " h");
        // As the frame applies a confirmed options dialog.
        ForgetMarksOfChangedLimits(settings_, before);
        p.core.SettingsChanged();
        HistoryList& list = p.core.History();
        list.SetStartDay(ReadStartDay(settings_));
        ShowMonth(list.Month());
        p.core.Limits().OnOptionsConfirmed();
        dayAlarm_ = false;
    } else {
        // Nothing happens but time passing.
    }
}

SimulationResult Simulation::Run() {
    WriteSetting(settings_, settings::kDelInterval, 12);
    WriteSetting(settings_, settings::kStartDate, 21);
    WriteSetting(settings_, settings::kHangUp, 0);
    WriteSetting(settings_, settings::kAlarmWindow, 1);
    WriteSetting(settings_, settings::kLimitTime, 60);
    WriteSetting(settings_, settings::kDayLimit, 5);
    WriteSetting(settings_, settings::kDataLimit, 300);
    net_.entries = {{"ADSL", "PPPoE", "WAN Miniport (PPPOE)", ""},
                    {"Modem", "modem", "Standard 56K", ""},
                    {"Office VPN", "vpn", "WAN Miniport (PPTP)", ""}};
    clock_.Set(LocalTime(options_.year, options_.month, options_.day, Random(0, 23)));
    const std::int64_t end = clock_.Now() + std::int64_t{options_.days} * 24 * kHour;
    try {
        StartProgram();
        std::uint64_t nextEvent = Ticks() + static_cast<std::uint64_t>(Gap()) * 1000;
        while (clock_.Now() < end) {
            // The next of: the session tick at the running session's next full
            // minute, the day timer, the next event.
            std::uint64_t at = nextEvent;
            enum { kEvent, kTick, kDay } what = kEvent;
            if (program_ && program_->core.Timed()) {
                const std::int64_t elapsed = program_->core.Elapsed();
                const std::uint64_t tick =
                    Ticks() + static_cast<std::uint64_t>(60 - elapsed % 60) * 1000;
                if (tick <= at) {
                    at = tick;
                    what = kTick;
                }
            }
            if (program_ && program_->dayTimerAt <= at) {
                at = program_->dayTimerAt;
                what = kDay;
            }
            if (!program_ && restartAt_ < at && restartAt_ > Ticks()) at = restartAt_;
            AdvanceTo(at);
            switch (what) {
                case kTick:
                    Tick();
                    continue;
                case kDay:
                    Note("midnight");
                    DayTimer();
                    break;
                case kEvent:
                    NextEvent();
                    nextEvent = Ticks() + static_cast<std::uint64_t>(Gap()) * 1000;
                    break;
            }
            Check();
        }
    } catch (const Failure& failure) {
        result_.ok = false;
        result_.failure = failure.what();
    }
    return result_;
}

}  // namespace

SimulationResult RunSimulation(const SimulationOptions& options) {
    Simulation simulation(options);
    return simulation.Run();
}

}  // namespace hourlink::sim
