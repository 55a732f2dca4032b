#include "automation_simulation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "core/automation/schedule.h"
#include "core/automation/shutdown_plan.h"
#include "core/base/notifier.h"
#include "core/net/dialer.h"
#include "core/net/network_info.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fake_network.h"

namespace hourlink::sim {
namespace {

constexpr std::uint64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 24 * kHour;
// The dialer gives RAS 50 s, pauses 2 s and then hangs its attempt up.
constexpr std::uint64_t kDialGiveUpMs = 53 * kSecond;

std::tm Local(std::int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return tm;
}

// Local `minutes` after midnight of the local date `days` after that of `t`.
std::int64_t OnDate(std::int64_t t, int days, int minutes) {
    std::tm tm = Local(t);
    tm.tm_mday += days;
    tm.tm_hour = minutes / 60;
    tm.tm_min = minutes % 60;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

std::string TimeText(std::int64_t t) {
    const std::tm tm = Local(t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::wstring ClockText(int minutes) {
    wchar_t text[8];
    std::swprintf(text, 8, L"%d:%02d", minutes / 60, minutes % 60);
    return text;
}

class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// ---- The machine ----

// The wall clock the user may set, and the tick count (milliseconds, going on
// through sleep) that the timers and the dial threads' waits run on.
class SimClock final : public Clock {
  public:
    std::int64_t Now() const override {
        return static_cast<std::int64_t>(ticks_ / kSecond) + offset_;
    }
    std::uint64_t TickCount() const override { return ticks_; }
    void Start(std::int64_t now) { offset_ = now - static_cast<std::int64_t>(ticks_ / kSecond); }
    void AdvanceTo(std::uint64_t ticks) { ticks_ = std::max<std::uint64_t>(ticks_, ticks); }
    void Shift(std::int64_t seconds) { offset_ += seconds; }

  private:
    std::atomic<std::uint64_t> ticks_{1000 * kSecond};
    std::atomic<std::int64_t> offset_{0};
};

// The dial threads wait on the simulated tick count. The simulation moves on
// only when every dial thread waits for a moment still to come (or is gone).
class SimTiming final : public DialTiming {
  public:
    explicit SimTiming(const SimClock& clock) : clock_(clock) {}

    bool Wait(Signal& signal, int milliseconds) override {
        std::unique_lock lock(mutex_);
        Waiter waiter{&signal, clock_.TickCount() + static_cast<std::uint64_t>(milliseconds)};
        waiters_.push_back(&waiter);
        while (!signal.IsSet() && clock_.TickCount() < waiter.deadline) {
            changed_.wait_for(lock, std::chrono::microseconds(200));
        }
        std::erase(waiters_, &waiter);
        return signal.IsSet();
    }
    void ClockMoved() { changed_.notify_all(); }
    int Blocked() {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(waiters_.begin(), waiters_.end(),
                                              [this](Waiter* w) { return Pending(*w); }));
    }
    std::optional<std::uint64_t> NextDeadline() {
        std::lock_guard lock(mutex_);
        std::optional<std::uint64_t> next;
        for (Waiter* w : waiters_) {
            if (Pending(*w) && (!next || w->deadline < *next)) next = w->deadline;
        }
        return next;
    }

  private:
    struct Waiter {
        Signal* signal;
        std::uint64_t deadline;
    };
    bool Pending(const Waiter& w) const {
        return !w.signal->IsSet() && clock_.TickCount() < w.deadline;
    }

    const SimClock& clock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Waiter*> waiters_;
};

// RAS as the simulation scripts it. Each dial's phone number names the chain
// of attempts it belongs to ("S12": the plan's chain 12), so every handle is
// known by who dialled it.
class SimRas final : public DialPlatform {
  public:
    enum class State { kDialling, kConnected, kFailed, kRefused, kGone };
    struct Line {
        State state = State::kDialling;
        int chain = 0;
        bool retry = false;
        std::uint64_t dialledAt = 0;
        int hangUps = 0;
    };

    explicit SimRas(const SimClock& clock) : clock_(clock) {}

    std::uint32_t GetEntryDialParameters(const std::wstring& name, DialParameters& parameters,
                                         bool& hasPassword) override {
        parameters.entryName = name;
        parameters.userName = L"user";
        parameters.password = L"secret";
        hasPassword = true;
        return 0;
    }
    std::uint32_t SetEntryDialParameters(const DialParameters&, bool) override { return 0; }
    std::uint32_t Dial(const DialParameters& parameters, RasHandle& handle) override {
        std::lock_guard lock(mutex_);
        handle = next_++;
        Line& line = lines_[handle];
        const std::wstring& phone = parameters.phoneNumber;
        line.retry = !phone.empty() && phone[0] == L'R';
        line.chain = phone.size() > 1 ? std::stoi(phone.substr(1)) : 0;
        line.dialledAt = clock_.TickCount();
        fresh_.push_back(handle);
        if (refuseNext_ != 0) {
            line.state = State::kRefused;
            return std::exchange(refuseNext_, 0);
        }
        return 0;
    }
    std::uint32_t HangUp(RasHandle handle) override {
        std::lock_guard lock(mutex_);
        const auto it = lines_.find(handle);
        if (it == lines_.end()) {
            violations_.push_back("hang-up of a handle RAS never gave: " + std::to_string(handle));
            return kErrorInvalidHandle;
        }
        Line& line = it->second;
        if (++line.hangUps > 1) {
            violations_.push_back("handle " + std::to_string(handle) + " hung up twice");
        }
        if (line.state == State::kConnected && !hangUpAsked_) {
            violations_.push_back("the connection of handle " + std::to_string(handle) +
                                  " was hung up with nobody asking");
        }
        line.state = State::kGone;
        return 0;
    }
    std::uint32_t ConnectionStatus(RasHandle handle) override {
        std::lock_guard lock(mutex_);
        const auto it = lines_.find(handle);
        return it != lines_.end() && it->second.state != State::kGone ? 0 : kErrorInvalidHandle;
    }
    std::optional<std::wstring> ErrorText(std::uint32_t) override { return std::nullopt; }
    std::uint32_t StartProgram(const std::wstring&, int) override { return 2; }
    void PostClick(std::uintptr_t) override {}

    // The simulation's side, on its own thread.
    std::mutex& Mutex() { return mutex_; }
    std::map<RasHandle, Line>& Lines() { return lines_; }
    std::vector<RasHandle> TakeFresh() { return std::exchange(fresh_, {}); }
    std::vector<std::string> TakeViolations() { return std::exchange(violations_, {}); }
    void RefuseNext(std::uint32_t error) { refuseNext_ = error; }
    void AskHangUp(bool asked) { hangUpAsked_ = asked; }
    Line LineOf(RasHandle handle) {
        std::lock_guard lock(mutex_);
        const auto it = lines_.find(handle);
        return it == lines_.end() ? Line{State::kGone} : it->second;
    }
    // The lines not yet gone, oldest first (the gone ones are skipped for good).
    std::vector<std::pair<RasHandle, Line>> LiveLines() {
        std::lock_guard lock(mutex_);
        while (!lines_.empty() && firstLive_ < next_ &&
               (!lines_.contains(firstLive_) || lines_[firstLive_].state == State::kGone)) {
            ++firstLive_;
        }
        std::vector<std::pair<RasHandle, Line>> live;
        for (auto it = lines_.lower_bound(firstLive_); it != lines_.end(); ++it) {
            if (it->second.state != State::kGone) live.emplace_back(*it);
        }
        return live;
    }

  private:
    const SimClock& clock_;
    std::mutex mutex_;
    std::map<RasHandle, Line> lines_;
    std::vector<RasHandle> fresh_;
    std::vector<std::string> violations_;
    RasHandle next_ = 0x100;
    RasHandle firstLive_ = 0x100;
    std::uint32_t refuseNext_ = 0;
    std::atomic<bool> hangUpAsked_ = false;
};

// "连接..." for the entry picked in the tree, and for the default entry (the
// tree's selection untouched).
const EntryChoice kTreeEntry{2, L"ADSL"};
const EntryChoice kDefaultEntry{1, L""};

// ---- The plan, as the reference reads it ----

struct Plan {
    bool days[7] = {};  // Monday to Sunday
    // Minutes after midnight; a stop before the start is on the next day.
    std::optional<std::pair<int, int>> windows[4];
};

struct Opening {
    int slot = 0;
    std::int64_t start = 0;
    std::int64_t stop = 0;
    bool operator<(const Opening& o) const {
        return std::tie(start, slot, stop) < std::tie(o.start, o.slot, o.stop);
    }
};

std::optional<Opening> OpeningOf(const Plan& plan, int slot, std::int64_t dateOf) {
    const auto& w = plan.windows[slot];
    if (!w || w->first == w->second) return std::nullopt;
    const std::int64_t start = OnDate(dateOf, 0, w->first);
    const std::int64_t stop = OnDate(dateOf, w->second < w->first ? 1 : 0, w->second);
    return Opening{slot, start, stop};
}

// The opening `t` lies in, of a chosen day's window.
std::optional<Opening> OpeningAt(const Plan& plan, std::int64_t t) {
    for (int days : {-1, 0}) {
        const std::int64_t date = OnDate(t, days, 12 * 60);
        const int weekday = (Local(date).tm_wday + 6) % 7;
        if (!plan.days[weekday]) continue;
        for (int slot = 0; slot < 4; ++slot) {
            const auto o = OpeningOf(plan, slot, date);
            if (o && o->start <= t && t < o->stop) return o;
        }
    }
    return std::nullopt;
}

// ---- The simulation ----

enum class Kind { kPlan, kStartUp, kManual };

struct Chain {
    Kind kind;
    int run;
    std::optional<Opening> opening;  // the plan's
};

struct WorldEvent {
    enum class What { kConnects, kFails, kReportConnected, kWatcherStart, kWatcherEnd } what;
    RasHandle handle = 0;
    std::uint32_t error = 0;
};

// One run of the program: what the frame owns of the connection control.
struct Program {
    Program(DialPlatform& ras, test::FakeNetwork& net, SettingsStore& settings, DialHost& dialHost,
            DialTiming& timing, const Clock& clock, ScheduleHost& scheduleHost,
            ShutdownHost& shutdownHost)
        : info(net, notifier, clock),
          dialer(ras, info, settings, dialHost, timing),
          schedule(settings, clock, scheduleHost),
          shutdown(settings, clock, shutdownHost) {}
    SilentNotifier notifier;
    NetworkInfo info;
    Dialer dialer;
    WeeklySchedule schedule;
    ShutdownPlan shutdown;
};

class Simulation final : public DialHost, public ScheduleHost, public ShutdownHost {
  public:
    explicit Simulation(const AutomationOptions& options)
        : options_(options), random_(options.seed), timing_(clock_), ras_(clock_) {}
    ~Simulation() override { program_.reset(); }

    AutomationResult Run();

    // DialHost: the window thread's side and the dial threads' posts.
    void Log(std::wstring) override {}
    void ShowError(std::wstring) override {}
    std::wstring PhoneNumberOf(const std::wstring&) override { return dialContext_; }
    bool AskConnect(ConnectDetails& details) override {
        if (!answerConnect_) return false;
        details.entryName = L"ADSL";
        details.userName = L"user";
        details.password = L"secret";
        details.phoneNumber = dialContext_;
        return true;
    }
    void PostLog(std::wstring) override {}
    void PostError(std::wstring) override {}

    // ScheduleHost.
    bool ConnectionUp() override { return sessionUp_; }
    bool HangUpRequested() override { return program_->dialer.HangUpRequested(); }
    void ClearHangUpRequest() override { program_->dialer.ClearHangUpRequest(); }
    bool DialInProgress() override { return program_->dialer.AttemptRunning(); }
    void DialScheduled() override;
    bool ConnectedBySchedule() override { return program_->dialer.ConnectedBySchedule(); }
    void SetScheduleTimer(bool running) override {
        scheduleTimerAt_.reset();
        if (running) scheduleTimerAt_ = clock_.TickCount() + WeeklySchedule::kTimerMs;
    }
    void ShowScheduleText(std::wstring_view) override {}

    // ShutdownHost.
    bool ConnectionTimed() override { return sessionUp_; }
    bool StartShutdownTimer() override {
        shutdownTimerAt_ = clock_.TickCount() + ShutdownPlan::kTimerMs;
        return true;
    }
    void StopShutdownTimer() override { shutdownTimerAt_.reset(); }
    void ShowShutdownText(std::wstring_view) override {}
    bool ConfirmShutdown() override;
    std::uint32_t EnableShutdownPrivilege() override { return 0; }
    void HangUpAndWait() override;
    std::uint32_t PowerOff(unsigned) override;

  private:
    // Time.
    std::uint64_t Ticks() const { return clock_.TickCount(); }
    std::int64_t Now() const { return clock_.Now(); }
    void Step();
    void AdvanceTo(std::uint64_t ticks);
    void Quiesce();
    void At(std::uint64_t ticks, WorldEvent event) {
        world_.push_back({ticks, sequence_++, event});
    }

    // The world and the frame's part.
    void OnFreshDial(RasHandle handle);
    void Handle(const WorldEvent& event);
    void SessionStart();
    void SessionEnd();
    void SessionTick();
    void OnListed();
    void HangUpCommand(const char* who);
    void StartProgram();
    void StopProgram();
    void MachineOff(std::int64_t seconds);

    // The user.
    void UserEvent();
    void EditPlan();
    void ArmShutdown();
    void WritePlan();

    // The checks.
    void Check();
    void CheckShutdownDue();
    std::optional<Opening> ChainStop(const Chain& chain) const;
    // A connection ended, a new run began or the clock moved: the windows may
    // dial anew.
    void Fresh() {
        for (auto& [o, state] : openings_) {
            state.dials = 0;
            // A clock set back before a window: the window comes round again.
            if (o.start > Now()) state.userHungUp = false;
        }
        LookAgain();
    }
    // Something that has the plan look again (within a timer period).
    void LookAgain();
    // A hang-up asked for: it holds for the window it was asked in, and until
    // the plan or the user dials, or a new run starts.
    void HungUp() {
        if (const auto o = OpeningAt(plan_, Now())) openings_[*o].userHungUp = true;
        lastHangUp_ = Now();
        hangUpStands_ = true;
    }
    void Fail(const std::string& what);
    void Note(const std::string& what);
    int Random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }

    AutomationOptions options_;
    std::mt19937_64 random_;
    AutomationResult result_;

    SimClock clock_;
    SimTiming timing_;
    SimRas ras_;
    test::FakeNetwork net_;
    MemorySettingsStore settings_;
    std::unique_ptr<Program> program_;
    int run_ = 0;
    // A moment by the wall clock, and by the tick count, which the user
    // cannot set back.
    struct Moment {
        std::int64_t wall = 0;
        std::uint64_t ticks = 0;
        std::uint64_t order = 0;  // of the moments taken
    };
    std::uint64_t moments_ = 0;
    Moment MomentNow() { return {Now(), Ticks(), ++moments_}; }
    Moment runStart_;
    std::optional<std::uint64_t> startAt_;  // the machine is off until then

    // The frame's timers (tick counts they fire at).
    std::optional<std::uint64_t> scheduleTimerAt_;
    std::optional<std::uint64_t> shutdownTimerAt_;
    std::optional<std::uint64_t> sessionTickAt_;
    std::uint64_t userAt_ = 0;

    struct Pending {
        std::uint64_t at;
        std::uint64_t sequence;
        WorldEvent event;
    };
    std::vector<Pending> world_;
    std::uint64_t sequence_ = 0;

    // The link RAS has up, and the session the program times.
    RasHandle link_ = 0;
    bool sessionUp_ = false;
    RasHandle sessionHandle_ = 0;
    std::uint64_t connectedReportAt_ = 0;  // RAS told the program the link is up

    // Who dials: the context a phone number is handed out in.
    std::wstring dialContext_ = L"?0";
    bool answerConnect_ = true;
    std::map<int, Chain> chains_;
    int nextChain_ = 1;

    // The reference's plan, what each opening has had since something started
    // it afresh, and when that last happened.
    Plan plan_;
    struct OpeningState {
        int dials = 0;
        bool userHungUp = false;
    };
    std::map<Opening, OpeningState> openings_;
    Moment lastFresh_;
    Moment lastSessionEnd_;
    bool lastEndWasDrop_ = false;
    std::optional<std::int64_t> lastHangUp_;
    bool hangUpStands_ = false;
    std::uint64_t lastDialActivity_ = 0;
    int dialCount_ = 3;

    // The shutdown armed in this run, as the reference has it.
    std::optional<std::int64_t> armedMoment_;
    std::optional<int> armedHour_;
    bool shutdownDisturbed_ = false;  // a sleep or clock change since arming
    std::set<std::int64_t> firedSlots_;
    bool powerOff_ = false;

    std::deque<std::string> trail_;
};

void Simulation::LookAgain() {
    lastFresh_ = MomentNow();
}

// ---- The frame's part ----

void Simulation::DialScheduled() {
    const std::int64_t now = Now();
    const auto opening = OpeningAt(plan_, now);
    if (!opening) Fail("the plan dialled outside every window");
    if (sessionUp_) Fail("the plan dialled while a session was up");
    if (link_ != 0 && Ticks() - connectedReportAt_ > 3 * kSecond) {
        Fail("the plan dialled while connected");
    }
    if (openings_[*opening].userHungUp) Fail("the plan dialled again after the user hung up");
    // The plan's own dial ends the hang-up asked for before it.
    hangUpStands_ = false;
    for (auto& [o, state] : openings_) state.userHungUp = false;
    const int chain = nextChain_++;
    chains_[chain] = {Kind::kPlan, run_, opening};
    Note("the plan dials (chain " + std::to_string(chain) + ")");
    dialContext_ = L"S" + std::to_wstring(chain);
    program_->dialer.DialScheduled();
}

bool Simulation::ConfirmShutdown() {
    ++result_.countdowns;
    const std::int64_t now = Now();
    const std::tm tm = Local(now);
    const std::int64_t slot = now - (tm.tm_min * kMinute + tm.tm_sec);
    if (armedMoment_ && now >= *armedMoment_ && now - *armedMoment_ < 120) {
        armedMoment_.reset();
    } else if (armedHour_ && tm.tm_hour == *armedHour_ && tm.tm_min < 3 &&
               !firedSlots_.contains(slot)) {
        firedSlots_.insert(slot);
        armedHour_.reset();
    } else {
        Fail("a shutdown countdown with nothing due");
    }
    armedMoment_.reset();
    armedHour_.reset();
    const bool confirmed = Chance(0.6);
    Note(confirmed ? "shutdown countdown: shut down" : "shutdown countdown: cancelled");
    return confirmed;
}

void Simulation::HangUpAndWait() {
    HungUp();
    HangUpCommand("the shutdown");
    // The frame handles messages until the session is recorded: the watcher
    // sees the link go within a moment.
    if (link_ == 0 && sessionUp_) {
        AdvanceTo(Ticks() + static_cast<std::uint64_t>(Random(0, 2000)));
        std::erase_if(
            world_, [](const Pending& p) { return p.event.what == WorldEvent::What::kWatcherEnd; });
        SessionEnd();
    }
}

std::uint32_t Simulation::PowerOff(unsigned) {
    ++result_.powerOffs;
    powerOff_ = true;
    return 0;
}

void Simulation::HangUpCommand(const char* who) {
    Note(std::string(who) + " hangs up");
    const std::wstring name = sessionUp_ ? L"ADSL" : L"";
    ras_.AskHangUp(true);
    program_->dialer.HangUp(name);
    ras_.AskHangUp(false);
    Quiesce();
}

void Simulation::SessionStart() {
    sessionUp_ = true;
    sessionHandle_ = link_;
    Note("session starts");
    program_->dialer.OnSessionStart(sessionHandle_);
    program_->schedule.OnConnect();
    program_->shutdown.OnSessionTickStarted();
    sessionTickAt_ = Ticks();
    SessionTick();
}

void Simulation::SessionEnd() {
    sessionUp_ = false;
    sessionHandle_ = 0;
    sessionTickAt_.reset();
    Note("session ends");
    Fresh();
    lastSessionEnd_ = MomentNow();
    // Ended with no hang-up asked for: the line dropped.
    lastEndWasDrop_ = !hangUpStands_;
    program_->dialer.OnSessionEnd();
    program_->schedule.OnDisconnect();
    program_->shutdown.StartTimer();
    OnListed();
}

void Simulation::SessionTick() {
    sessionTickAt_ = Ticks() + kSecond;
    if (program_->schedule.HangUpDue()) {
        const auto it = chains_.find(ras_.LineOf(sessionHandle_).chain);
        if (it == chains_.end() || it->second.kind != Kind::kPlan || it->second.run != run_) {
            Fail("the plan hung up a connection it did not dial");
        }
        const auto stop = ChainStop(it->second);
        if (!stop || Now() < stop->stop) Fail("the plan hung up before its window's stop");
        ++result_.planHangUps;
        HungUp();
        HangUpCommand("the plan");
    }
    if (program_) program_->shutdown.Check();
}

void Simulation::OnListed() {
    // The frame's OnListed: the plan armed, the stored shutdown applied again.
    program_->schedule.Arm();
    if (ReadSetting(settings_, settings::kShutdownSave) == 0) return;
    armedMoment_.reset();
    armedHour_.reset();
    const int mode = ReadSetting(settings_, settings::kShutdownPlan);
    const int hours = ReadSetting(settings_, settings::kShutdownHours, -1);
    if (mode == 0 && hours >= 0) armedMoment_ = Now() + hours * kHour;
    if (mode == 1) armedHour_ = ReadSetting(settings_, settings::kShutdownHour);
    if (mode == 2) armedMoment_ = ReadPendingShutdownTime(settings_, Now());
    shutdownDisturbed_ = false;
    program_->shutdown.ApplyStored();
}

void Simulation::StartProgram() {
    ++run_;
    ++result_.restarts;
    Note("program starts");
    startAt_.reset();
    program_ =
        std::make_unique<Program>(ras_, net_, settings_, *this, timing_, clock_, *this, *this);
    armedMoment_.reset();
    armedHour_.reset();
    firedSlots_.clear();
    // A new dialer: no hang-up of the user's stands.
    openings_.clear();
    hangUpStands_ = false;
    lastHangUp_.reset();
    Fresh();
    runStart_ = MomentNow();
    // The watcher's first check comes before the first listing.
    if (link_ != 0) SessionStart();
    OnListed();
    if (!sessionUp_ && ReadSetting(settings_, settings::kStartUpConnect) != 0) {
        const int chain = nextChain_++;
        chains_[chain] = {Kind::kStartUp, run_, std::nullopt};
        dialContext_ = L"A" + std::to_wstring(chain);
        program_->dialer.DialAtStartUp();
    }
    Quiesce();
}

void Simulation::StopProgram() {
    Note("program ends");
    program_.reset();
    scheduleTimerAt_.reset();
    shutdownTimerAt_.reset();
    sessionTickAt_.reset();
    sessionUp_ = false;
    sessionHandle_ = 0;
    for (const auto& [handle, line] : ras_.LiveLines()) {
        if (line.state != SimRas::State::kConnected) {
            Fail("handle " + std::to_string(handle) + " left dialling when the program ended");
        }
    }
}

void Simulation::MachineOff(std::int64_t seconds) {
    StopProgram();
    {
        std::lock_guard lock(ras_.Mutex());
        for (auto& [handle, line] : ras_.Lines()) line.state = SimRas::State::kGone;
    }
    link_ = 0;
    world_.clear();
    AdvanceTo(Ticks() + static_cast<std::uint64_t>(seconds) * kSecond);
    startAt_ = Ticks();
}

// ---- Time ----

void Simulation::AdvanceTo(std::uint64_t ticks) {
    clock_.AdvanceTo(ticks);
    timing_.ClockMoved();
}

// Until every dial thread waits for a moment still to come or is gone; then
// RAS takes up the dials made meanwhile, and the program's breaches are read.
void Simulation::Quiesce() {
    for (;;) {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (program_ && program_->dialer.RunningThreads() != timing_.Blocked()) {
            if (std::chrono::steady_clock::now() > give_up) Fail("a dial thread does not settle");
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
        std::vector<RasHandle> fresh;
        {
            std::lock_guard lock(ras_.Mutex());
            fresh = ras_.TakeFresh();
            for (const std::string& v : ras_.TakeViolations()) Fail(v);
            // A connection ended by a hang-up: the watcher notices soon.
            if (link_ != 0 && ras_.Lines()[link_].state == SimRas::State::kGone) {
                link_ = 0;
                At(Ticks() + static_cast<std::uint64_t>(Random(0, 2000)),
                   {WorldEvent::What::kWatcherEnd});
            }
        }
        if (fresh.empty()) return;
        for (RasHandle handle : fresh) OnFreshDial(handle);
    }
}

void Simulation::OnFreshDial(RasHandle handle) {
    ++result_.dials;
    lastDialActivity_ = Ticks();
    SimRas::Line line;
    {
        std::lock_guard lock(ras_.Mutex());
        line = ras_.Lines()[handle];
    }
    const auto it = chains_.find(line.chain);
    if (it == chains_.end()) Fail("a dial of no known chain");
    const Chain& chain = it->second;
    if (line.retry && chain.kind != Kind::kPlan) Fail("a dial retried that was not the plan's");
    if (chain.kind == Kind::kPlan && chain.opening) {
        if (++openings_[*chain.opening].dials > dialCount_) {
            Fail("a window dialled more often than its retry count");
        }
    }
    Note("RAS dials handle " + std::to_string(handle) + (line.retry ? " (a retry)" : ""));
    // The next dial RAS refuses at once now and then.
    ras_.RefuseNext(Chance(0.08) ? 633 : 0);
    if (line.state != SimRas::State::kDialling) return;
    const int outcome = Random(1, 100);
    if (link_ != 0) {
        // The port is taken by the connection that is up.
        At(Ticks() + kSecond, {WorldEvent::What::kFails, handle, 602});
    } else if (outcome <= 50) {
        At(Ticks() + static_cast<std::uint64_t>(Random(3, 40)) * kSecond,
           {WorldEvent::What::kConnects, handle});
    } else if (outcome <= 82) {
        const std::uint32_t errors[] = {678, 691, 629};
        At(Ticks() + static_cast<std::uint64_t>(Random(2, 30)) * kSecond,
           {WorldEvent::What::kFails, handle, errors[Random(0, 2)]});
    }  // else RAS never answers
}

void Simulation::Handle(const WorldEvent& event) {
    using What = WorldEvent::What;
    SimRas::State state;
    {
        std::lock_guard lock(ras_.Mutex());
        state = event.handle ? ras_.Lines()[event.handle].state : SimRas::State::kGone;
    }
    switch (event.what) {
        case What::kConnects: {
            if (state != SimRas::State::kDialling) return;
            if (link_ != 0) Fail("a second connection came up");
            {
                std::lock_guard lock(ras_.Mutex());
                ras_.Lines()[event.handle].state = SimRas::State::kConnected;
            }
            ++result_.connections;
            link_ = event.handle;
            lastDialActivity_ = Ticks();
            Note("RAS connects handle " + std::to_string(event.handle));
            At(Ticks() + static_cast<std::uint64_t>(Random(0, 2000)),
               {What::kReportConnected, event.handle});
            At(Ticks() + static_cast<std::uint64_t>(Random(0, 2000)), {What::kWatcherStart});
            return;
        }
        case What::kFails: {
            if (state != SimRas::State::kDialling || !program_) return;
            {
                std::lock_guard lock(ras_.Mutex());
                ras_.Lines()[event.handle].state = SimRas::State::kFailed;
            }
            lastDialActivity_ = Ticks();
            Note("RAS fails handle " + std::to_string(event.handle));
            int chain = 0;
            {
                std::lock_guard lock(ras_.Mutex());
                chain = ras_.Lines()[event.handle].chain;
            }
            dialContext_ = L"R" + std::to_wstring(chain);
            program_->dialer.OnDialState(0, event.error);
            Quiesce();
            return;
        }
        case What::kReportConnected:
            if (state != SimRas::State::kConnected || !program_) return;
            connectedReportAt_ = Ticks();
            program_->dialer.OnDialState(kRasConnected, 0);
            Quiesce();
            return;
        case What::kWatcherStart:
            if (program_ && link_ != 0 && !sessionUp_) SessionStart();
            return;
        case What::kWatcherEnd:
            if (program_ && link_ == 0 && sessionUp_) SessionEnd();
            return;
    }
}

// ---- The user ----

void Simulation::WritePlan() {
    for (int d = 0; d < 7; ++d) {
        WriteSetting(settings_, settings::kWeekDays[static_cast<std::size_t>(d)],
                     plan_.days[d] ? 1 : 0);
    }
    for (int s = 0; s < 4; ++s) {
        const auto& w = plan_.windows[s];
        WriteSetting(settings_, settings::kScheduleStarts[static_cast<std::size_t>(s)],
                     w ? ClockText(w->first) : L"");
        WriteSetting(settings_, settings::kScheduleStops[static_cast<std::size_t>(s)],
                     w ? ClockText(w->second) : L"");
    }
}

void Simulation::EditPlan() {
    plan_ = {};
    if (!Chance(0.15)) {
        for (bool& day : plan_.days) day = Chance(0.7);
        // Up to three windows in the day's order, a few minutes apart, the
        // last one perhaps past midnight; none starts in the night hours a
        // change of summer time may skip or repeat.
        int slots[] = {0, 1, 2, 3};
        std::shuffle(std::begin(slots), std::end(slots), random_);
        int at = Random(4 * 60, 9 * 60);
        const int count = Random(1, 3);
        for (int n = 0; n < count && at < 23 * 60; ++n) {
            const int start = at;
            const int stop = std::min(start + Random(5, 5 * 60), 24 * 60 + 90);
            plan_.windows[slots[n]] = std::pair{start, stop % (24 * 60)};
            if (stop >= 24 * 60) break;
            at = stop + Random(3, 300);
        }
    }
    WritePlan();
    LookAgain();
    std::string text = "the user saves the plan: days ";
    for (bool day : plan_.days) text += day ? '1' : '0';
    for (const auto& w : plan_.windows) {
        text += w ? " " + std::to_string(w->first) + "-" + std::to_string(w->second) : " -";
    }
    Note(text);
    program_->schedule.OnPlanSaved();
}

void Simulation::ArmShutdown() {
    ShutdownSettings values;
    values.mode = Random(0, 2);
    values.hours = static_cast<std::uint32_t>(Random(1, 30));
    values.hour = static_cast<std::uint32_t>(Random(0, 23));
    values.time = Now() + Random(5 * 60, 2 * 24 * 3600);
    values.everyStart = Chance(0.5);
    WriteShutdownSettings(settings_, values);
    armedMoment_.reset();
    armedHour_.reset();
    if (values.mode == 0) armedMoment_ = Now() + values.hours * kHour;
    if (values.mode == 1) armedHour_ = static_cast<int>(values.hour);
    if (values.mode == 2) armedMoment_ = values.time;
    shutdownDisturbed_ = false;
    Note("the user arms the shutdown, mode " + std::to_string(values.mode));
    program_->shutdown.ArmFromDialog(values);
}

void Simulation::UserEvent() {
    ++result_.events;
    userAt_ =
        Ticks() +
        static_cast<std::uint64_t>(Chance(0.3) ? Random(5, 120) : Random(60, 4 * 3600)) * kSecond;
    if (!program_) return;
    const int what = Random(1, 100);
    const EntryChoice& choice = Chance(0.5) ? kTreeEntry : kDefaultEntry;
    if (what <= 18) {
        if (!program_->dialer.CanConnect(sessionUp_, choice)) return;
        const int chain = nextChain_++;
        chains_[chain] = {Kind::kManual, run_, std::nullopt};
        dialContext_ = L"M" + std::to_wstring(chain);
        answerConnect_ = Chance(0.9);
        Note("the user dials");
        for (auto& [o, state] : openings_) state.userHungUp = false;
        hangUpStands_ = false;
        program_->dialer.ConnectCommand(choice);
        Quiesce();
    } else if (what <= 30) {
        if (!program_->dialer.CanHangUp(sessionUp_)) return;
        HungUp();
        HangUpCommand("the user");
    } else if (what <= 42) {
        if (link_ == 0) return;
        Note("the line drops");
        {
            std::lock_guard lock(ras_.Mutex());
            ras_.Lines()[link_].state = SimRas::State::kGone;
        }
        link_ = 0;
        At(Ticks() + static_cast<std::uint64_t>(Random(0, 2000)), {WorldEvent::What::kWatcherEnd});
    } else if (what <= 52) {
        EditPlan();
    } else if (what <= 58) {
        const std::int64_t shift = (Chance(0.5) ? -1 : 1) * Random(5, 6 * 60) * kMinute;
        clock_.Shift(shift);
        // A window's time may come round again.
        Fresh();
        shutdownDisturbed_ = true;
        Note("the clock is set by " + std::to_string(shift / kMinute) + " minutes");
    } else if (what <= 62) {
        if (link_ != 0 || program_->dialer.RunningThreads() > 0) return;
        const std::int64_t seconds = Random(10 * 60, 10 * 3600);
        Note("the machine sleeps for " + std::to_string(seconds / kMinute) + " minutes");
        AdvanceTo(Ticks() + static_cast<std::uint64_t>(seconds) * kSecond);
        Fresh();
        shutdownDisturbed_ = true;
    } else if (what <= 66) {
        StopProgram();
        startAt_ = Ticks() + static_cast<std::uint64_t>(Random(5, 120)) * kSecond;
    } else if (what <= 72) {
        ArmShutdown();
    } else if (what <= 74) {
        // An hour count from elsewhere (an older version, a hand edit), out
        // of the range the dialog allows, under a stored plan of hours.
        if (ReadSetting(settings_, settings::kShutdownPlan) != 0 ||
            ReadSetting(settings_, settings::kShutdownSave) == 0) {
            return;
        }
        settings_.WriteInt(L"Shutdown", L"escap", Chance(0.5) ? 97000 : -5);
        Note("the hour count is damaged");
        OnListed();
    } else if (what <= 80) {
        if (link_ != 0 || sessionUp_ || program_->dialer.RunningThreads() > 0) return;
        dialCount_ = Random(1, 4);
        WriteSetting(settings_, settings::kDialCount, dialCount_);
        WriteSetting(settings_, settings::kDialWait, Random(5, 30));
        WriteSetting(settings_, settings::kStartUpConnect, Chance(0.3) ? 1 : 0);
        Note("the user sets " + std::to_string(dialCount_) + " attempts");
    } else if (what <= 88) {
        Note("the history is listed again");
        OnListed();
    }
    Quiesce();
}

// ---- The checks ----

std::optional<Opening> Simulation::ChainStop(const Chain& chain) const {
    if (!chain.opening) return std::nullopt;
    return OpeningOf(plan_, chain.opening->slot, OnDate(chain.opening->start, 0, 12 * 60));
}

void Simulation::Check() {
    if (!program_) return;
    const std::int64_t now = Now();
    bool dialling = false;
    for (const auto& [handle, line] : ras_.LiveLines()) {
        if (line.state == SimRas::State::kFailed || line.state == SimRas::State::kRefused) {
            Fail("handle " + std::to_string(handle) + " left after its dial failed");
        }
        if (line.state != SimRas::State::kDialling) continue;
        dialling = true;
        if (Ticks() - line.dialledAt > kDialGiveUpMs + kSecond) {
            Fail("handle " + std::to_string(handle) + " left dialling past its time-out");
        }
    }
    Dialer& dialer = program_->dialer;
    if (dialling && (dialer.CanConnect(sessionUp_, kTreeEntry) ||
                     dialer.CanConnect(sessionUp_, kDefaultEntry))) {
        Fail("\"连接...\" is on while a dial runs");
    }
    const bool quiet = !dialling && link_ == 0 && !sessionUp_ && dialer.RunningThreads() == 0;
    if (quiet && dialer.CanHangUp(false)) Fail("\"挂断\" is on with nothing to end");

    // The plan's connection is hung up at its window's stop.
    if (sessionUp_) {
        const auto it = chains_.find(ras_.LineOf(sessionHandle_).chain);
        if (it != chains_.end() && it->second.kind == Kind::kPlan && it->second.run == run_) {
            const auto stop = ChainStop(it->second);
            const std::int64_t due = stop ? std::max(stop->stop, lastFresh_.wall) : 0;
            if (stop && now > due + 5 && connectedReportAt_ + 5 * kSecond < Ticks() &&
                Ticks() - lastDialActivity_ > 5 * kSecond) {
                Fail("the plan's connection is still up after its window's stop");
            }
        }
    }

    // A window is dialled when it opens while the program waits offline,
    // when the program starts inside it, and when a connection ends inside it.
    const auto o =
        quiet && Ticks() - lastDialActivity_ > 25 * kSecond ? OpeningAt(plan_, now) : std::nullopt;
    if (o) {
        const OpeningState& state = openings_[*o];
        // Since when the plan must have dialled it: a run that began in it, a
        // line that dropped in it (nothing moved since either), or its start.
        bool due = false;
        if (runStart_.wall >= o->start && runStart_.order > lastFresh_.order) {
            due = true;
        } else if (lastEndWasDrop_ && lastSessionEnd_.wall > o->start &&
                   lastSessionEnd_.order > lastFresh_.order) {
            due = true;
        } else if (lastFresh_.wall < o->start - 15 && now - o->start > 25 &&
                   (!lastHangUp_ || *lastHangUp_ < o->start)) {
            due = true;
        }
        if (due && state.dials == 0 && !state.userHungUp && now - lastFresh_.wall > 25 &&
            Ticks() - lastFresh_.ticks > 25 * kSecond) {
            Fail("the window open from " + TimeText(o->start) + " to " + TimeText(o->stop) +
                 " was not dialled");
        }
    }
    CheckShutdownDue();
}

void Simulation::CheckShutdownDue() {
    if (shutdownDisturbed_ || powerOff_) return;
    const std::int64_t now = Now();
    if (armedMoment_ && now >= *armedMoment_ + 10 && now < *armedMoment_ + 100) {
        Fail("the shutdown armed for " + TimeText(*armedMoment_) + " did not come");
    }
    const std::tm tm = Local(now);
    const std::int64_t slot = now - (tm.tm_min * kMinute + tm.tm_sec);
    if (armedHour_ && tm.tm_hour == *armedHour_ && tm.tm_min == 2 && !firedSlots_.contains(slot)) {
        Fail("the daily shutdown at " + std::to_string(*armedHour_) + " did not come");
    }
}

void Simulation::Note(const std::string& what) {
    trail_.push_back(TimeText(Now()) + "  " + what);
    if (trail_.size() > 40) trail_.pop_front();
}

void Simulation::Fail(const std::string& what) {
    std::string text = "at " + TimeText(Now()) + ": " + what + " (seed " +
                       std::to_string(options_.seed) + ")\nthe events before:\n";
    for (const std::string& line : trail_) text += "  " + line + "\n";
    throw Failure(text);
}

// ---- The run ----

void Simulation::Step() {
    // The next thing due: a world event, a dial thread's wait, a timer, the
    // user, or the machine coming back.
    const auto first = [this] {
        return std::min_element(world_.begin(), world_.end(), [](auto& a, auto& b) {
            return std::tie(a.at, a.sequence) < std::tie(b.at, b.sequence);
        });
    };
    std::uint64_t next = userAt_;
    if (const auto earliest = first(); earliest != world_.end())
        next = std::min(next, earliest->at);
    if (const auto deadline = timing_.NextDeadline()) next = std::min(next, *deadline);
    for (const auto& timer : {scheduleTimerAt_, shutdownTimerAt_, sessionTickAt_, startAt_}) {
        if (timer) next = std::min(next, *timer);
    }
    AdvanceTo(next);
    Quiesce();

    if (const auto earliest = first(); earliest != world_.end() && earliest->at <= Ticks()) {
        const WorldEvent event = earliest->event;
        world_.erase(earliest);
        Handle(event);
    } else if (startAt_ && *startAt_ <= Ticks()) {
        StartProgram();
    } else if (sessionTickAt_ && *sessionTickAt_ <= Ticks()) {
        SessionTick();
    } else if (shutdownTimerAt_ && *shutdownTimerAt_ <= Ticks()) {
        shutdownTimerAt_ = Ticks() + ShutdownPlan::kTimerMs;
        program_->shutdown.Check();
    } else if (scheduleTimerAt_ && *scheduleTimerAt_ <= Ticks()) {
        scheduleTimerAt_ = Ticks() + WeeklySchedule::kTimerMs;
        program_->schedule.OnTimer();
    } else if (userAt_ <= Ticks()) {
        UserEvent();
    }
    Quiesce();
    if (powerOff_) {
        Note("the machine powers off");
        MachineOff(Random(10 * 60, 12 * 3600));
        powerOff_ = false;
    }
    Check();
}

AutomationResult Simulation::Run() {
    try {
        std::tm tm{};
        tm.tm_year = options_.year - 1900;
        tm.tm_mon = options_.month - 1;
        tm.tm_mday = options_.day;
        tm.tm_hour = 7;
        tm.tm_isdst = -1;
        clock_.Start(static_cast<std::int64_t>(std::mktime(&tm)));
        WriteSetting(settings_, settings::kScheduleEntryName, L"ADSL");
        WriteSetting(settings_, settings::kDefaultConnect, L"ADSL");
        WriteSetting(settings_, settings::kDialCount, dialCount_);
        StartProgram();
        EditPlan();
        const std::uint64_t end =
            Ticks() + static_cast<std::uint64_t>(options_.days) * kDay * kSecond;
        while (Ticks() < end) Step();
    } catch (const Failure& failure) {
        result_.ok = false;
        result_.failure = failure.what();
    }
    program_.reset();
    return result_;
}

}  // namespace

AutomationResult RunAutomationSimulation(const AutomationOptions& options) {
    Simulation simulation(options);
    return simulation.Run();
}

}  // namespace hourlink::sim
