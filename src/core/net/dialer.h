// The dialer: makes RAS connections and ends them. A dial is manual (the
// "连接..." command, through the connect dialog), automatic (the weekly
// schedule, with retries, or the dial at start-up), or a retry. Each attempt
// runs in a dial thread of its own that starts RAS's asynchronous dial and
// waits, at most 50 seconds, until the window thread hears from RAS that the
// connection is made, failed or ended, or until a hang-up. Progress and errors
// are lines of the log pane. Whether a connection really came up is not decided
// here: the watcher sees its address and the frame starts timing.
//
// An entry whose name contains "PPPOE" stands for the PPPoE client program,
// which is started and driven through its windows instead.
//
// Threads. Everything but DialAttempt::Run runs on the window thread. Each
// attempt keeps its own copy of what it dials, its own connection handle and
// its own signal, so a later attempt, a time-out and a hang-up never act on
// each other's connection; the handle is taken under the attempt's lock by
// whoever hangs it up first. One attempt dials at a time: no dial starts while
// another is in progress, a hang-up ends every attempt the dialer still has a
// thread for, and quitting hangs up a dial in progress instead of waiting for
// its time-out. The dial thread reaches the window only through the host's
// Post* calls; an attempt that ends on its own counts as ended before its
// last post, so the window may read the dialer's state when that arrives.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/net/dial_platform.h"
#include "core/net/network_info.h"
#include "core/net/pppoe_client.h"
#include "core/settings/settings_store.h"

namespace hourlink {

// RAS connection states the progress handler names, and the bit that marks
// the two final ones.
inline constexpr int kRasConnected = 0x2000;
inline constexpr int kRasDisconnected = 0x2001;
inline constexpr int kRasDoneBit = 0x2000;

// The log pane's text for a RAS connection state ("不知道的事件发生" for others).
std::wstring_view DialStateText(int state);

// A flag that one thread sets and another waits for.
class Signal {
  public:
    void Set();
    bool IsSet() const;
    // True when the flag is set, at once or within `timeout`.
    bool WaitFor(std::chrono::milliseconds timeout);

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

// How the dial threads wait; tests put a clock of their own here.
class DialTiming {
  public:
    virtual ~DialTiming() = default;
    // True when `signal` is set within `milliseconds`.
    virtual bool Wait(Signal& signal, int milliseconds) { return signal.WaitFor(Ms(milliseconds)); }

  private:
    static std::chrono::milliseconds Ms(int ms) { return std::chrono::milliseconds(ms); }
};

// What the connect dialog shows and gives back.
struct ConnectDetails {
    std::wstring entryName;  // the dialog's title
    std::wstring userName;
    std::wstring password;
    std::wstring phoneNumber;
    bool dontSavePassword = false;
};

// What the dialer needs from the window side.
class DialHost {
  public:
    virtual ~DialHost() = default;
    // On the window thread: a line for the log pane, an error box (caption
    // "Hourlink", error icon), the phone number of an entry, and the connect
    // dialog (false when cancelled).
    virtual void Log(std::wstring text) = 0;
    virtual void ShowError(std::wstring text) = 0;
    virtual std::wstring PhoneNumberOf(const std::wstring& entryName) = 0;
    virtual bool AskConnect(ConnectDetails& details) = 0;
    // From any thread: the same, posted to the window thread.
    virtual void PostLog(std::wstring text) = 0;
    virtual void PostError(std::wstring text) = 0;
};

// One dial attempt, shared by the window thread and its dial thread.
class DialAttempt {
  public:
    // `scheduled`: a dial of the weekly schedule, retried after RAS errors.
    DialAttempt(DialParameters parameters, int number, bool scheduled);

    // The dial thread: the pause before a retry, the dial, the wait, and on a
    // time-out the hang-up of this attempt's own connection.
    void Run(DialPlatform& platform, DialHost& host, DialTiming& timing, Signal& shutdown,
             int retryPauseSeconds);

    // RAS reported the end of the dial (connected, failed or ended): the dial
    // thread stops waiting.
    void Finish() { signal_.Set(); }
    // A hang-up: the dial thread stops waiting or pausing, and a handle RAS
    // gives later is hung up at once.
    void Cancel();
    // The connection's handle, which the caller now owns (0 when there is
    // none or somebody took it).
    RasHandle TakeHandle();
    RasHandle Handle() const;
    // Still dialling: not connected, failed, cancelled or timed out.
    bool InProgress() const { return !ended_ && !signal_.IsSet(); }
    // The dial thread is through with the attempt.
    bool Done() const { return done_; }
    bool Scheduled() const { return scheduled_; }
    const DialParameters& Parameters() const { return parameters_; }

  private:
    void RunDial(DialPlatform& platform, DialHost& host, DialTiming& timing, Signal& shutdown,
                 int retryPauseSeconds);
    void TimeOut(DialPlatform& platform, DialHost& host, DialTiming& timing, Signal& shutdown);

    const DialParameters parameters_;
    const int number_;
    const bool scheduled_;
    Signal signal_;
    std::atomic<bool> cancelled_ = false;
    std::atomic<bool> ended_ = false;
    std::atomic<bool> done_ = false;
    mutable std::mutex handleMutex_;
    RasHandle handle_ = 0;
};

// The entry the tree offers for a manual dial: how often its selection changed
// since the start (at most once, the tree's own first selection, means the
// user has not chosen: the default entry is dialled) and the entry selected.
struct EntryChoice {
    int selectionChanges = 1;
    std::wstring selectedEntry;
};

class Dialer {
  public:
    Dialer(DialPlatform& dial, NetworkInfo& network, SettingsStore& settings, DialHost& host,
           DialTiming& timing);
    // Stops the dial threads (a hang-up for each attempt still dialling; a
    // connection that is up stays up).
    ~Dialer();
    Dialer(const Dialer&) = delete;
    Dialer& operator=(const Dialer&) = delete;

    // "连接...": a fresh manual dial of the tree's entry or the default one.
    // Each of the three dials does nothing while an attempt is running.
    void ConnectCommand(const EntryChoice& choice);
    // The schedule's dial of AutoConnent/EntryName: retried after RAS errors
    // until Advance/count attempts, Advance/wait seconds apart.
    void DialScheduled();
    // The dial at start-up: the same entry, no retries.
    void DialAtStartUp();

    // "挂断", the idle and the limit hang-ups and the schedule's: ends the
    // PPPoE client's link when that is what is timed (`timedName`), else the
    // RAS connection or the dial in progress. Stops retries.
    void HangUp(std::wstring_view timedName);

    // The dial-state notification RAS sent (WM_RAS_DIAL_STATE): `state` is 0
    // when `error` is not.
    void OnDialState(int state, std::uint32_t error);

    // The frame's session events: the watcher's RAS handle at a connect (0 for
    // a session of another kind), and the end of the session, which takes the
    // connection's handle with it.
    void OnSessionStart(RasHandle connection);
    void OnSessionEnd();

    // Command enabling: connect while nothing is timed, no attempt is running
    // and there is an entry to dial; hang up while there is a RAS connection
    // or something is timed.
    bool CanConnect(bool timing, const EntryChoice& choice) const;
    bool CanHangUp(bool timing) const;
    // A dial attempt, or the start of the PPPoE client, is under way (the
    // schedule does not dial meanwhile).
    bool AttemptRunning() const;
    // The dial threads that have not returned yet (one may still be letting a
    // timed-out connection go after its attempt ended).
    int RunningThreads() const;
    // The connection the dialer would hang up.
    RasHandle Connection() const;

    // The schedule's start time clears the user's hang-up request.
    void ClearHangUpRequest() { hangUpRequested_ = false; }

    int AttemptNumber() const { return attempt_; }
    // A scheduled dial is under way and a RAS error brings the next attempt.
    bool RetriesArmed() const;
    // The connection up is the one a scheduled dial made: its RAS attempt
    // connected, or it started the PPPoE client. Until the session ends or
    // another dial starts.
    bool ConnectedBySchedule() const { return connectedBySchedule_; }
    bool HangUpRequested() const { return hangUpRequested_; }

  private:
    enum class DialKind { kManual, kStartUp, kScheduled };

    void Dial(DialKind kind, const EntryChoice& choice);
    void StartAttempt(DialParameters parameters, bool scheduled);
    void StartPppoeClient(bool scheduled);
    // The RAS part of a hang-up: stops every attempt and hangs up the
    // connection; logs "连接已关闭" when there was something to end.
    void HangUpRas();
    void JoinFinishedThreads();

    DialPlatform& dial_;
    NetworkInfo& network_;
    SettingsStore& settings_;
    DialHost& host_;
    DialTiming& timing_;
    PppoeClient pppoe_;

    int attempt_ = 1;
    bool hangUpRequested_ = false;
    RasHandle connection_ = 0;
    std::shared_ptr<DialAttempt> current_;
    // Set on the window thread, or by the thread that starts the client.
    std::atomic<bool> connectedBySchedule_ = false;

    Signal shutdown_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<DialAttempt> attempt;  // none for the client's start
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;
};

// A text with RAS's wording of `code`, or `fallback` (a printf format with
// one %ld) when RAS has none.
std::wstring RasErrorText(DialPlatform& platform, std::uint32_t code, const wchar_t* fallback);

// ASCII upper case of a text (other characters stay as they are).
std::wstring AsciiUpper(std::wstring_view text);

}  // namespace hourlink
