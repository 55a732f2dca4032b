#include "core/net/connection_watcher.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/base/gbk.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

constexpr std::string_view kPppoeClientName = "NTS PPPoE Adapter";
// How many times in a row a RAS session's PPP adapter must still have its
// address for the session to count as up.
constexpr int kRasStillUpChecks = 11;

std::string_view FieldText(const char* field, std::size_t width) {
    const void* nul = std::memchr(field, 0, width);
    return {field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : width};
}

std::wstring Widen(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// Two records of one session: the same start, connection and address.
bool SameSession(const SessionRecord& a, const SessionRecord& b) {
    return a.start == b.start && a.Name() == b.Name() && a.ClientIp() == b.ClientIp();
}

}  // namespace

std::string_view ConnectionStatus::Name() const {
    return FieldText(name.data(), name.size() - 1);
}

std::string_view ConnectionStatus::ClientIp() const {
    return FieldText(clientIp.data(), clientIp.size() - 1);
}

void ConnectionStatus::SetName(std::string_view gbk) {
    name.fill(0);
    std::memcpy(name.data(), gbk.data(), GbkPrefixLength(gbk, kMaxNameBytes));
}

void ConnectionStatus::SetClientIp(std::string_view ip) {
    clientIp.fill(0);
    std::memcpy(clientIp.data(), ip.data(), std::min(ip.size(), clientIp.size() - 1));
}

std::wstring FormatWatcherReport(std::wstring_view text, int number) {
    std::wstring report(text);
    report += L"失败有错误 ";
    report += std::to_wstring(number);
    report += L'\n';
    return report;
}

ConnectionWatcher::ConnectionWatcher(NetworkInfo& network, CFixLenRecDoc& records,
                                     RecordTable& table, SettingsStore& settings,
                                     const Clock& clock, WatcherEvents& events)
    : network_(network),
      records_(records),
      table_(table),
      settings_(settings),
      clock_(clock),
      events_(events) {}

void ConnectionWatcher::SetStartupRecovery(StartupRecovery recovery) {
    std::lock_guard lock(operationMutex_);
    recovery_ = std::move(recovery);
}

void ConnectionWatcher::SetRecordStarting(RecordStarting hook) {
    std::lock_guard lock(operationMutex_);
    recordStarting_ = std::move(hook);
}

void ConnectionWatcher::Report(std::wstring_view text, int number) {
    events_.Log(FormatWatcherReport(text, number));
}

bool ConnectionWatcher::OpenRecordFile(const std::wstring& path) {
    std::lock_guard lock(operationMutex_);
    recordFileOpen_ = records_.OpenForUpdate(path);
    if (!recordFileOpen_) Report(L"Cann,t Open Record File ", records_.LastError());
    return recordFileOpen_;
}

void ConnectionWatcher::RunEffects(Effects& effects) {
    for (auto& effect : effects) effect();
    effects.clear();
}

void ConnectionWatcher::Start() {
    const auto now = static_cast<std::uint32_t>(clock_.Now());
    UpdateStatus([&](ConnectionStatus& s) { s.lastEventTime = now; });
    CheckForConnection();
}

void ConnectionWatcher::OnAddressChange() {
    Effects effects;
    {
        std::lock_guard lock(operationMutex_);
        RetryPendingLocked();
        const auto now = static_cast<std::uint32_t>(clock_.Now());
        UpdateStatus([&](ConnectionStatus& s) { s.lastEventTime = now; });
        if (Status().active == 0) {
            CheckLocked(effects);
        } else if (!StillConnectedLocked()) {
            EndLocked(effects);
            // A LAN that failed one probe with its address still there may be
            // back at the next: it is looked at again soon.
            if (ReadSetting(settings_, settings::kLocalFlag) != 0 && !network_.Adapters().empty()) {
                lanLooksOwed_ = 1;
            }
        }
    }
    RunEffects(effects);
}

void ConnectionWatcher::CheckForConnection() {
    Effects effects;
    {
        std::lock_guard lock(operationMutex_);
        RetryPendingLocked();
        CheckLocked(effects);
    }
    RunEffects(effects);
}

bool ConnectionWatcher::IsStillConnected() {
    std::lock_guard lock(operationMutex_);
    RetryPendingLocked();
    return StillConnectedLocked();
}

void ConnectionWatcher::EndSession() {
    Effects effects;
    {
        std::lock_guard lock(operationMutex_);
        RetryPendingLocked();
        EndLocked(effects);
    }
    RunEffects(effects);
}

void ConnectionWatcher::CheckLocked(Effects& effects) {
    UpdateStatus([](ConnectionStatus& s) {
        const std::uint32_t lastEvent = s.lastEventTime;
        s = ConnectionStatus{};
        s.type = static_cast<std::uint8_t>(ConnectionType::Modem);
        s.lastEventTime = lastEvent;
    });

    network_.EnumerateRasConnections();
    const std::vector<std::string> rasNames = network_.ConnectionNames();
    if (!rasNames.empty()) {
        rasSession_ = true;
        pppoeSession_ = false;
        const RasHandle handle = network_.LastRasConnection();
        const std::string ip = network_.ClientIp();
        UpdateStatus([&](ConnectionStatus& s) {
            s.SetName(rasNames.front());
            s.SetClientIp(ip);
            s.rasConnection = handle;
        });
        BeginSession(true);
        network_.FindPppoeClientLink();  // refreshes the PPPoE figures; the RAS connection wins
    } else if (network_.FindPppoeClientLink()) {
        pppoeSession_ = true;
        rasSession_ = false;
        std::string name(kPppoeClientName);
        std::string ip;
        if (const auto adapter = network_.PppoeAdapter()) {
            if (!network_.PppoeClientInstalledFlag()) name = adapter->description;
            ip = adapter->ipAddress;
        } else {
            // Found by the client's window: no adapter of its own is known.
            const auto adapters = network_.Adapters();
            if (!adapters.empty()) ip = adapters.front().ipAddress;
        }
        UpdateStatus([&](ConnectionStatus& s) {
            s.start = static_cast<std::uint32_t>(clock_.Now());
            s.SetName(name);
            s.SetClientIp(ip);
        });
        BeginSession(false);
    } else if (LanAnswers()) {
        // Tell the user what was found, one line a second, before the session
        // starts: its start is taken after the reports.
        for (const auto& server : network_.DnsServers()) {
            Report(L"DNS = " + Widen(server) + L"\r\n", 0);
            events_.Pause(1000);
        }
        for (const auto& adapter : network_.Adapters()) {
            Report(L"IP地址=" + Widen(adapter.ipAddress) + L"\r\n", 0);
            events_.Pause(1000);
        }
        rasSession_ = false;
        pppoeSession_ = false;
        const auto names = network_.ConnectionNames();
        const std::string ip = network_.ClientIp();
        const auto now = static_cast<std::uint32_t>(clock_.Now());
        UpdateStatus([&](ConnectionStatus& s) {
            s.SetName(names.empty() ? std::string() : names.front());
            s.SetClientIp(ip);
            s.type = static_cast<std::uint8_t>(ConnectionType::Broadband);
            s.active = 1;
            s.start = now;
            s.online = 1;
        });
    }

    const bool active = Status().active != 0;
    std::optional<SessionRecord> startRecord;
    if (active) {
        const ConnectionStatus s = Status();
        const std::int64_t now = clock_.Now();
        elapsedAtBegin_ = now > s.start ? static_cast<std::uint32_t>(now - s.start) : 0;
        beginTick_ = clock_.TickCount();
        // Whether the session continues the file's last record is settled
        // before the first check's recovery, which must leave a continued
        // record alone; its own record is appended after the recovery, so it
        // is never the one recovered.
        startRecord = PrepareStartRecord();
    }

    if (firstCheckPending_) {
        firstCheckPending_ = false;
        if (recordFileOpen_) {
            if (recovery_) recovery_(records_, table_, continuation_);
            records_.AfterSessionCheck(table_);
        }
        effects.push_back([this] { events_.RecordsLoaded(); });
    }

    if (active) {
        SetTraffic(0, 0, 0);  // figures of an earlier session must not carry over
        WriteStartRecord(startRecord, effects);
        const std::uint32_t sequence = ++eventSequence_;
        const std::uint8_t continues = continuation_ ? 1 : 0;
        UpdateStatus([&](ConnectionStatus& status) {
            status.sequence = sequence;
            status.continuesRecord = continues;
        });
        const ConnectionStatus s = Status();
        effects.push_back([this, s] {
            events_.SessionStarted(s);
            events_.PlaySound(L"conn.wav");
            events_.StartPrograms();
        });
    }
}

void ConnectionWatcher::BeginSession(bool fromRas) {
    const auto now = static_cast<std::uint32_t>(clock_.Now());
    ConnectionStatistics statistics;
    const bool fromRasDuration =
        fromRas && network_.IsNtFamily() && network_.GetConnectionStatistics(statistics) == 0;
    const bool first = firstCheckPending_;
    UpdateStatus([&](ConnectionStatus& s) {
        s.active = 1;
        s.online = 1;
        if (fromRasDuration) {
            s.start = now - statistics.duration;
            s.lastEventTime = s.start;
            s.timeFromRas = 1;
            s.continuation = 0;
        } else {
            s.start = now;
            s.lastEventTime = now;
            s.timeFromRas = 0;
            s.continuation = first ? 1 : 0;
        }
    });
}

std::optional<SessionRecord> ConnectionWatcher::PrepareStartRecord() {
    ConnectionStatus s = Status();
    if (pppoeSession_) {
        s.type = static_cast<std::uint8_t>(ConnectionType::Broadband);
    } else if (!s.Name().empty()) {
        // The phonebook as it is now: an entry made since the last look counts.
        if (rasSession_) network_.RefreshEntries();
        // A phonebook entry whose name contains the connection's name gives it
        // its type; the last such entry wins.
        for (const auto& entry : network_.Entries()) {
            if (entry.name.find(s.Name()) != std::string::npos) {
                s.type = static_cast<std::uint8_t>(entry.type);
            }
        }
    }
    UpdateStatus([&](ConnectionStatus& status) { status.type = s.type; });

    sessionRecord_.reset();
    continuation_ = false;
    for (PendingWrite& write : pendingWrites_) write.running = false;
    // Connections of other kinds are followed but neither timed nor recorded.
    if (!recordFileOpen_ || !IsTimedConnectionType(s.type)) return std::nullopt;

    // While writes are kept, the file's last record is not the last session's:
    // nothing continues it.
    if (pendingWrites_.empty() && records_.IsContinuation(s.start, s.ClientIp())) {
        continuation_ = true;
        return std::nullopt;
    }
    SessionRecord record;
    record.marker = kRecordMarker;
    record.SetName(s.Name());
    record.SetClientIp(s.ClientIp());
    record.continuation = s.continuation;
    record.start = s.start;
    record.type = s.type;
    return record;
}

void ConnectionWatcher::WriteStartRecord(const std::optional<SessionRecord>& record,
                                         Effects& effects) {
    // The first check's purge drops only leading records: a continued record
    // is still the last one.
    if (continuation_) {
        sessionRecord_ = records_.RecordCount() - 1;
    } else if (record) {
        if (recordStarting_) recordStarting_(elapsedAtBegin_);
        WriteRecord({*record, std::nullopt, true}, effects);
    }
}

std::uint32_t ConnectionWatcher::MeasuredSeconds() const {
    const std::uint64_t seconds = elapsedAtBegin_ + (clock_.TickCount() - beginTick_) / 1000;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(seconds, std::numeric_limits<std::int32_t>::max()));
}

void ConnectionWatcher::WriteRecord(PendingWrite write, Effects& effects) {
    // An append waits behind a kept one, so that the file keeps the sessions
    // in the order they began; the rewrite of a known record need not wait.
    const bool waits = !write.index && std::any_of(pendingWrites_.begin(), pendingWrites_.end(),
                                                   [](const PendingWrite& w) { return !w.index; });
    if (!waits) {
        if (TryWrite(write, false)) return;
        // The file seam has no error code for a failed write: the system's
        // write fault stands for it, unless the file is closed, when the error
        // of the open that failed says why.
        const int openError = records_.LastError();
        const int number = !records_.IsOpenForUpdate() && openError != 0
                               ? openError
                               : CFixLenRecDoc::kWriteFailedError;
        const std::wstring_view what =
            write.index ? L"CFixLenRecDoc::Update" : L"CFixLenRecDoc::Append";
        effects.push_back([this, what, number] { Report(what, number); });
    }
    pendingWrites_.push_back(std::move(write));
    hasPendingWrites_ = true;
}

bool ConnectionWatcher::TryWrite(const PendingWrite& write, bool retry) {
    if (write.index) return records_.Update(write.record, *write.index);
    std::optional<std::uint32_t> index;
    // An append that failed only at its flush left the whole record in the
    // file, as its last: the retry rewrites it there instead of adding it twice.
    const std::uint32_t count = records_.RecordCount();
    const std::optional<SessionRecord> last =
        retry && count > 0 ? records_.GetRecord(count - 1) : std::nullopt;
    if (last && SameSession(*last, write.record)) {
        if (records_.Update(write.record, count - 1)) index = count - 1;
    } else {
        index = records_.Append(write.record);
    }
    if (index && write.running) sessionRecord_ = index;
    return index.has_value();
}

void ConnectionWatcher::RetryPendingLocked() {
    if (!hasPendingWrites_) return;
    std::vector<PendingWrite> kept;
    bool appendKept = false;
    for (PendingWrite& write : pendingWrites_) {
        const bool waits = !write.index && appendKept;
        if (!waits && TryWrite(write, true)) continue;
        if (!write.index) appendKept = true;
        kept.push_back(std::move(write));
    }
    pendingWrites_ = std::move(kept);
    hasPendingWrites_ = !pendingWrites_.empty();
}

void ConnectionWatcher::RetryPendingWrite() {
    if (!hasPendingWrites_) return;
    // Never wait for an operation, which may probe the network for seconds:
    // it tries the kept writes itself.
    std::unique_lock lock(operationMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    RetryPendingLocked();
}

bool ConnectionWatcher::LanAnswers() {
    // No adapter with an address (the adapters were just read): nothing to
    // look for until the next change of the address list.
    if (ReadSetting(settings_, settings::kLocalFlag) == 0 || network_.Adapters().empty()) {
        lanLooksOwed_ = 0;
        return false;
    }
    // An address, but the system does not call it connected yet, or the DNS
    // server did not answer: both may change with no change of addresses.
    if (network_.QueryInternetState() == 1 && network_.InternetConnected() &&
        network_.ProbeLan()) {
        lanLooksOwed_ = 0;
        return true;
    }
    lanLooksOwed_ = std::min(lanLooksOwed_ + 1, 4);
    return false;
}

std::optional<std::uint32_t> ConnectionWatcher::LookAgainAfterMs() const {
    static constexpr std::uint32_t kDelays[] = {5000, 10000, 30000, 60000};
    const int owed = lanLooksOwed_;
    if (owed <= 0) return std::nullopt;
    return kDelays[owed - 1];
}

bool ConnectionWatcher::StillConnectedLocked() {
    if (pppoeSession_) return network_.FindPppoeClientWindow();
    if (rasSession_) {
        for (int i = 0; i < kRasStillUpChecks; ++i) {
            if (!network_.FindPppAdapterIp()) return false;
        }
        return true;
    }
    return ReadSetting(settings_, settings::kLocalFlag) != 0 &&
           network_.QueryInternetState() == 1 && network_.ProbeLan() &&
           network_.InternetConnected();
}

void ConnectionWatcher::EndLocked(Effects& effects) {
    // The session's length: the frame's tick count, or the watcher's own count
    // when that is larger (the tick never ran, or stopped early). Both are read
    // on the monotonic counter, so a change of the wall clock during the
    // session moves neither, as it would move the end's time minus the start.
    const std::uint32_t measured = MeasuredSeconds();
    ConnectionStatus s;
    std::uint32_t speed, received, sent;
    {
        std::lock_guard lock(statusMutex_);
        status_.duration = std::max(status_.elapsed, status_.active != 0 ? measured : 0u);
        status_.end = status_.start + status_.duration;
        status_.billed =
            static_cast<std::uint32_t>(BilledSeconds(static_cast<std::int32_t>(status_.duration)));
        status_.active = 0;
        status_.online = 0;
        status_.sequence = ++eventSequence_;
        status_.continuesRecord = continuation_ ? 1 : 0;
        s = status_;
        speed = speed_;
        received = received_;
        sent = sent_;
    }

    const auto runningAppend =
        std::find_if(pendingWrites_.begin(), pendingWrites_.end(),
                     [](const PendingWrite& write) { return write.running; });
    if (recordFileOpen_ && (sessionRecord_ || runningAppend != pendingWrites_.end())) {
        SessionRecord record;
        record.marker = kRecordMarker;
        record.start = s.start;
        record.Complete(static_cast<std::int32_t>(s.duration));
        record.SetName(s.Name());
        record.lineSpeed = speed;
        record.bytesReceived = received;
        record.bytesSent = sent;
        record.type = s.type;
        record.SetClientIp(s.ClientIp());
        record.continuation = s.continuation;
        if (runningAppend != pendingWrites_.end()) {
            // Its start was never written: the completed record is appended.
            runningAppend->record = record;
            runningAppend->running = false;
        } else {
            WriteRecord({record, *sessionRecord_, false}, effects);
        }
    }
    sessionRecord_.reset();

    effects.push_back([this, s] {
        events_.SessionEnded(s);
        events_.PlaySound(L"disconn.wav");
        events_.EndPrograms();
    });
}

ConnectionStatus ConnectionWatcher::Status() const {
    std::lock_guard lock(statusMutex_);
    return status_;
}

void ConnectionWatcher::SetElapsed(std::uint32_t seconds) {
    UpdateStatus([&](ConnectionStatus& s) { s.elapsed = seconds; });
}

void ConnectionWatcher::SetTraffic(std::uint32_t speed, std::uint32_t received,
                                   std::uint32_t sent) {
    std::lock_guard lock(statusMutex_);
    speed_ = speed;
    received_ = received;
    sent_ = sent;
}

RasHandle ConnectionWatcher::RasConnection() const {
    return Status().rasConnection;
}

bool ConnectionWatcher::IsRasSession() const {
    return rasSession_;
}

}  // namespace hourlink
