// ConnectionWatcher: decides, at the program's start and after every change of
// the machine's address list, whether a connection has come up (a RAS
// connection, the PPPoE client's link, or a LAN that reaches the Internet) or
// whether the one being timed has gone; writes the session record at the start
// and completes it at the end; and tells the frame.
//
// This is the portable part. The Windows watcher thread waits for the address
// list to change and calls OnAddressChange; it alone runs the operations
// (CheckForConnection, IsStillConnected, EndSession), which probe the network
// and may take seconds. The UI thread never calls them: it asks the thread to
// look again (WatcherThread::RequestCheck) and reads the status block, the
// RAS handle and the flags below, which are guarded by short locks of their
// own. What an operation causes outside (messages to the frame, sounds, the
// user's programs, log lines) runs after its lock is released, so a frame that
// calls in while it handles a message cannot deadlock with the watcher.
//
// A write to the record file that fails (the session's record at its start, or
// its completion at the end) is reported once in the log and kept: every later
// operation tries the kept writes again first, in order, and so does
// RetryPendingWrite, which the UI thread may call at each session tick.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/clock.h"
#include "core/base/session_record.h"
#include "core/net/network_info.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "core/settings/settings_store.h"

namespace hourlink {

// The block of the current connection: filled by the watcher, read by the frame.
struct ConnectionStatus {
    std::array<char, 24> name{};  // GBK, always NUL-terminated
    std::uint32_t online = 0;
    std::uint32_t active = 0;
    std::array<char, 16> clientIp{};
    std::uint32_t billed = 0;
    std::uint32_t timeFromRas = 0;
    std::uint8_t type = 0;
    std::uint32_t start = 0;
    std::uint8_t continuation = 0;
    std::uint32_t end = 0;
    std::uint32_t duration = 0;
    std::uint32_t eventSeen = 0;
    std::uint32_t lastEventTime = 0;
    std::uint32_t elapsed = 0;
    // What the watcher decided, carried with each event to the frame:
    // the event's number in this run (1, 2, ...; 0 for a block that is no
    // event), so the frame can tell a start it receives after the session's
    // end (a posted start is overtaken by a sent end) and drop it; and whether
    // the session continues the record file's last record instead of adding one.
    std::uint32_t sequence = 0;
    std::uint8_t continuesRecord = 0;
    // The RAS connection of a RAS session (0 for the others), which the
    // dialer hangs up.
    RasHandle rasConnection = 0;

    std::string_view Name() const;
    std::string_view ClientIp() const;
    void SetName(std::string_view gbk);  // at most 22 bytes, whole characters
    void SetClientIp(std::string_view ip);
};

// What the watcher tells the world.
class WatcherEvents {
  public:
    virtual ~WatcherEvents() = default;
    // A timed or untimed connection came up; the frame learns it later (posted).
    virtual void SessionStarted(const ConnectionStatus& status) = 0;
    // The connection went; returns once the frame has handled it (sent).
    virtual void SessionEnded(const ConnectionStatus& status) = 0;
    // The record table has been loaded after the first check.
    virtual void RecordsLoaded() = 0;
    // A line for the log pane; the text belongs to the message.
    virtual void Log(std::wstring text) = 0;
    virtual void PlaySound(std::wstring_view file) = 0;
    // The user's programs after a connect, and their end after a disconnect.
    virtual void StartPrograms() = 0;
    virtual void EndPrograms() = 0;
    // Waits between two reports so the user can follow them.
    virtual void Pause(int milliseconds) = 0;
};

// The watcher's one report format: "<text>失败有错误 <number>\n".
std::wstring FormatWatcherReport(std::wstring_view text, int number);

class ConnectionWatcher {
  public:
    // Runs once at the first check, before the record table is loaded and before
    // the record of a session up now is appended: completes a record left
    // unfinished by a crash. `lastRecordContinues`: the session up now
    // continues the file's last record, whose minutes are still being counted.
    using StartupRecovery =
        std::function<void(CFixLenRecDoc& doc, RecordTable& table, bool lastRecordContinues)>;

    ConnectionWatcher(NetworkInfo& network, CFixLenRecDoc& records, RecordTable& table,
                      SettingsStore& settings, const Clock& clock, WatcherEvents& events);

    void SetStartupRecovery(StartupRecovery recovery);
    // Runs, on the watcher's thread, just before a new session's record is
    // added, with the seconds the session has lasted: the backup is set to the
    // new session's own last full minute first, so a crash never completes
    // its record with a minute of the session before.
    using RecordStarting = std::function<void(std::uint32_t seconds)>;
    void SetRecordStarting(RecordStarting hook);

    // Opens the record file; on failure reports "Cann,t Open Record File " with
    // the open's own error code and goes on without one.
    bool OpenRecordFile(const std::wstring& path);

    // The first decision of the run.
    void Start();
    // After a change of the address list: look for a connection while idle,
    // otherwise check that the current one is still there.
    void OnAddressChange();

    void CheckForConnection();
    bool IsStillConnected();
    void EndSession();

    // Tries the record writes that failed again (see the top of this file).
    // For the UI thread's session tick: costs one flag test when nothing is
    // kept, and returns at once without writing while an operation runs (which
    // tries them itself).
    void RetryPendingWrite();
    // Whether a failed write waits to be tried again.
    bool HasPendingWrite() const { return hasPendingWrites_; }

    // Reports a failure to the log pane.
    void Report(std::wstring_view text, int number);

    // The frame's side of the status block.
    ConnectionStatus Status() const;
    void SetElapsed(std::uint32_t seconds);
    // The last traffic figures taken while the session ran; stored at its end.
    void SetTraffic(std::uint32_t speed, std::uint32_t received, std::uint32_t sent);
    RasHandle RasConnection() const;
    bool IsActive() const { return Status().active != 0; }
    bool IsRasSession() const;

    // An adapter with an address that the system does not call connected yet,
    // or whose DNS server did not answer the probe (one lost echo on Wi-Fi, a
    // server slow to answer), would otherwise wait for the next change of the
    // address list, which may be hours away.
    // The watcher's thread looks again after this many milliseconds (5 s,
    // then 10, 30 and every 60 s), or waits for a change when nothing is owed.
    std::optional<std::uint32_t> LookAgainAfterMs() const;

  private:
    using Effects = std::vector<std::function<void()>>;
    // A write to the record file that has not succeeded yet.
    struct PendingWrite {
        SessionRecord record;
        std::optional<std::uint32_t> index;  // rewrite this record; none: append it
        bool running = false;                // the append of the running session's record
    };

    void CheckLocked(Effects& effects);
    // Whether a LAN is up and its DNS server answers; counts the looks owed.
    bool LanAnswers();
    bool StillConnectedLocked();
    void EndLocked(Effects& effects);
    void BeginSession(bool fromRas);
    std::optional<SessionRecord> PrepareStartRecord();
    void WriteStartRecord(const std::optional<SessionRecord>& record, Effects& effects);
    std::uint32_t MeasuredSeconds() const;
    void WriteRecord(PendingWrite write, Effects& effects);
    bool TryWrite(const PendingWrite& write, bool retry);
    void RetryPendingLocked();
    void RunEffects(Effects& effects);
    template <typename F>
    void UpdateStatus(F&& f) {
        std::lock_guard lock(statusMutex_);
        f(status_);
    }

    NetworkInfo& network_;
    CFixLenRecDoc& records_;
    RecordTable& table_;
    SettingsStore& settings_;
    const Clock& clock_;
    WatcherEvents& events_;
    StartupRecovery recovery_;
    RecordStarting recordStarting_;

    std::mutex operationMutex_;
    mutable std::mutex statusMutex_;
    ConnectionStatus status_;
    std::uint32_t speed_ = 0, received_ = 0, sent_ = 0;

    // Looks owed since the last probe that a LAN failed; 0 when none is.
    std::atomic<int> lanLooksOwed_ = 0;
    std::atomic<bool> rasSession_ = false;
    std::atomic<bool> pppoeSession_ = false;
    bool firstCheckPending_ = true;
    bool recordFileOpen_ = false;
    bool continuation_ = false;
    // The record of the running session: appended at its start, or the last
    // record when the start continued it. Only this record is completed.
    std::optional<std::uint32_t> sessionRecord_;
    // Where the watcher's own count of the session's length starts: the
    // seconds it had lasted when the watcher found it, at this tick count.
    std::uint32_t elapsedAtBegin_ = 0;
    std::uint64_t beginTick_ = 0;
    // Failed record writes, oldest first; the flag lets RetryPendingWrite look
    // without the operation lock.
    std::vector<PendingWrite> pendingWrites_;
    std::atomic<bool> hasPendingWrites_ = false;
    // The number of the last event told to the frame.
    std::uint32_t eventSequence_ = 0;
};

}  // namespace hourlink
