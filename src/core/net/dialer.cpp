#include "core/net/dialer.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>

#include "core/settings/settings.h"

namespace hourlink {

namespace {

constexpr int kDialWaitMs = 50000;
constexpr int kTimeOutPauseMs = 2000;
// After a time-out's hang-up RAS is asked until it lets the connection go, at
// most this long, this often.
constexpr int kReleaseWaitMs = 10000;
constexpr int kReleasePollMs = 50;

std::wstring Format(const wchar_t* format, const std::wstring& text) {
    std::wstring out(text.size() + std::wcslen(format) + 16, L'\0');
    const int n = std::swprintf(out.data(), out.size(), format, text.c_str());
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

std::wstring Cut(std::wstring text, std::size_t room) {
    if (text.size() > room) text.resize(room);
    return text;
}

// Every text cut to the room RAS gives it.
DialParameters Bounded(DialParameters p) {
    p.entryName = Cut(std::move(p.entryName), kMaxEntryName);
    p.phoneNumber = Cut(std::move(p.phoneNumber), kMaxPhoneNumber);
    p.callbackNumber = Cut(std::move(p.callbackNumber), kMaxPhoneNumber);
    p.userName = Cut(std::move(p.userName), kMaxUserName);
    p.password = Cut(std::move(p.password), kMaxPassword);
    p.domain = Cut(std::move(p.domain), kMaxDomain);
    return p;
}

}  // namespace

std::wstring_view DialStateText(int state) {
    switch (state) {
        case 0:
            return L"即将打开一个通信端口";
        case 1:
            return L"通信端口已打开";
        case 2:
            return L"准备与一个设备连接";
        case 3:
            return L"已成功连接设备";
        case 4:
            return L"物理连接已建立";
        case 5:
            return L"RAS身份验证进程已开始";
        case 6:
            return L"身份验证事件已发生";
        case 7:
            return L"服务器已请求尝试另一个身份验证";
        case 8:
            return L"服务器已请求一个回拨号码";
        case 9:
            return L"请求改变口令";
        case 10:
            return L"协议发送准备进行";
        case 11:
            return L"连接速度正在计算过程中";
        case 12:
            return L"身份验证请求正在确认过程中";
        case 13:
            return L"回拨之后的身份验证进程准备开始";
        case 14:
            return L"客户机已成功结束身份验证";
        case 15:
            return L"线路即将取消连接，准备回拨";
        case 16:
            return L"Waiting For Modem Reset";
        case 17:
            return L"Waiting For Callback";
        case 0x1000:
            return L"Interactive";
        case 0x1001:
            return L"正在等待新的用户凭据";
        case 0x1002:
            return L"Callback Set By Caller";
        case 0x1003:
            return L"希望用户提供一个新的密码";
        case kRasConnected:
            return L"连接成功";
        case kRasDisconnected:
            return L"连接失败或终止";
        default:
            return L"不知道的事件发生";
    }
}

std::wstring RasErrorText(DialPlatform& platform, std::uint32_t code, const wchar_t* fallback) {
    if (auto text = platform.ErrorText(code)) return *text;
    wchar_t buffer[96];
    std::swprintf(buffer, 96, fallback, static_cast<long>(code));
    return buffer;
}

std::wstring AsciiUpper(std::wstring_view text) {
    std::wstring upper(text);
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return upper;
}

// ---- Signal ----

void Signal::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

bool Signal::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool Signal::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
}

// ---- DialAttempt ----

DialAttempt::DialAttempt(DialParameters parameters, int number, bool scheduled)
    : parameters_(Bounded(std::move(parameters))), number_(number), scheduled_(scheduled) {}

void DialAttempt::Cancel() {
    cancelled_ = true;
    signal_.Set();
}

RasHandle DialAttempt::TakeHandle() {
    std::lock_guard lock(handleMutex_);
    return std::exchange(handle_, 0);
}

RasHandle DialAttempt::Handle() const {
    std::lock_guard lock(handleMutex_);
    return handle_;
}

void DialAttempt::Run(DialPlatform& platform, DialHost& host, DialTiming& timing, Signal& shutdown,
                      int retryPauseSeconds) {
    RunDial(platform, host, timing, shutdown, retryPauseSeconds);
    ended_ = true;
    done_ = true;
}

void DialAttempt::RunDial(DialPlatform& platform, DialHost& host, DialTiming& timing,
                          Signal& shutdown, int retryPauseSeconds) {
    // A retry waits first; a hang-up meanwhile ends it before it dials.
    if (number_ > 1 && timing.Wait(signal_, retryPauseSeconds * 1000)) return;
    if (cancelled_) return;

    host.PostLog(Format(L"正在拨号%ls...\r\n", parameters_.phoneNumber));
    RasHandle handle = 0;
    const std::uint32_t error = platform.Dial(parameters_, handle);
    {
        std::lock_guard lock(handleMutex_);
        handle_ = handle;
    }
    // RAS may hand back a handle even when it refuses, and a hang-up may have
    // been asked for while it dialled: either way the port is let go now.
    if (error != 0 || cancelled_) {
        if (const RasHandle h = TakeHandle()) platform.HangUp(h);
        if (error != 0) {
            ended_ = true;
            host.PostError(RasErrorText(platform, error, L"没有定义的RAS Dial错误 %ld."));
        }
        return;
    }
    if (timing.Wait(signal_, kDialWaitMs)) return;
    TimeOut(platform, host, timing, shutdown);
}

void DialAttempt::TimeOut(DialPlatform& platform, DialHost& host, DialTiming& timing,
                          Signal& shutdown) {
    const std::wstring& entry = parameters_.entryName;
    host.PostLog(Format(L"%ls超时...\r\n", entry));
    if (timing.Wait(shutdown, kTimeOutPauseMs)) return;
    host.PostLog(Format(L"正在挂断%ls...\r\n", entry));
    const RasHandle handle = TakeHandle();
    if (handle != 0) {
        platform.HangUp(handle);
        // RAS lets the port go a moment after the hang-up; until then a new
        // dial on it would fail. Any error means it is gone.
        for (int waited = 0; waited < kReleaseWaitMs; waited += kReleasePollMs) {
            if (platform.ConnectionStatus(handle) != 0) break;
            if (timing.Wait(shutdown, kReleasePollMs)) return;
        }
    }
    ended_ = true;
    host.PostLog(Format(L"连接到%ls已结束.\r\n", entry));
}

// ---- Dialer ----

Dialer::Dialer(DialPlatform& dial, NetworkInfo& network, SettingsStore& settings, DialHost& host,
               DialTiming& timing)
    : dial_(dial),
      network_(network),
      settings_(settings),
      host_(host),
      timing_(timing),
      pppoe_(network.Platform(), dial) {}

Dialer::~Dialer() {
    shutdown_.Set();
    // A dial in progress is given up; a connection that came up stays.
    for (Worker& worker : workers_) {
        // Cancelling one that connected would have its thread hang up the
        // handle RAS is still handing it.
        if (!worker.attempt || !worker.attempt->InProgress()) continue;
        worker.attempt->Cancel();
        if (const RasHandle handle = worker.attempt->TakeHandle()) dial_.HangUp(handle);
    }
    for (Worker& worker : workers_) {
        if (worker.thread.joinable()) worker.thread.join();
    }
}

void Dialer::ConnectCommand(const EntryChoice& choice) {
    if (AttemptRunning()) return;
    hangUpRequested_ = false;
    attempt_ = 1;
    Dial(DialKind::kManual, choice);
}

void Dialer::DialScheduled() {
    if (AttemptRunning()) return;
    hangUpRequested_ = false;
    attempt_ = 1;
    Dial(DialKind::kScheduled, {});
}

void Dialer::DialAtStartUp() {
    if (AttemptRunning()) return;
    attempt_ = 1;
    Dial(DialKind::kStartUp, {});
}

void Dialer::Dial(DialKind kind, const EntryChoice& choice) {
    const int limit = ReadSetting(settings_, settings::kDialCount);
    if (attempt_ > limit) {
        wchar_t text[64];
        std::swprintf(text, 64, L"拨号次数已经大于%d次,自动拨号停止\r\n", attempt_);
        host_.Log(text);
        return;
    }
    const bool automatic = kind != DialKind::kManual;
    const bool scheduled = kind == DialKind::kScheduled;
    std::wstring entry;
    if (automatic) {
        entry = ReadSetting(settings_, settings::kScheduleEntryName);
    } else if (choice.selectionChanges <= 1) {
        entry = ReadSetting(settings_, settings::kDefaultConnect);
    } else {
        entry = choice.selectedEntry;
    }
    if (entry.empty()) return;  // nothing chosen to dial
    if (AsciiUpper(entry).find(L"PPPOE") != std::wstring::npos) {
        StartPppoeClient(scheduled);
        return;
    }

    DialParameters stored;
    stored.entryName = entry;
    bool hasPassword = false;
    if (const auto error = dial_.GetEntryDialParameters(entry, stored, hasPassword); error != 0) {
        host_.ShowError(RasErrorText(dial_, error, L"没有定义的拨号错误(%ld)."));
        return;
    }
    DialParameters parameters;
    parameters.entryName = entry;
    // "*" asks RAS for the domain the entry keeps.
    parameters.domain = L"*";
    if (automatic) {
        parameters.phoneNumber = host_.PhoneNumberOf(entry);
        parameters.userName = stored.userName;
        parameters.password = stored.password;
    } else {
        ConnectDetails details{entry, stored.userName, hasPassword ? stored.password : L"",
                               host_.PhoneNumberOf(entry), false};
        if (!host_.AskConnect(details)) return;
        host_.Log(Format(L"正在连接%ls...\r\n", entry));
        parameters.phoneNumber = details.phoneNumber;
        parameters.userName = details.userName;
        parameters.password = details.password;
        // Stored as the entry's own domain, "*" would stand for a domain
        // named so: the entry keeps none.
        DialParameters toStore = parameters;
        toStore.domain.clear();
        dial_.SetEntryDialParameters(Bounded(std::move(toStore)), details.dontSavePassword);
    }
    StartAttempt(std::move(parameters), scheduled);
}

void Dialer::StartAttempt(DialParameters parameters, bool scheduled) {
    JoinFinishedThreads();
    connectedBySchedule_ = false;
    auto attempt = std::make_shared<DialAttempt>(std::move(parameters), attempt_, scheduled);
    current_ = attempt;
    const int pause = ReadSetting(settings_, settings::kDialWait);
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([this, attempt, pause, done] {
                            attempt->Run(dial_, host_, timing_, shutdown_, pause);
                            *done = true;
                        }),
                        attempt, done});
}

void Dialer::StartPppoeClient(bool scheduled) {
    JoinFinishedThreads();
    connectedBySchedule_ = false;
    // Starting the client waits until it is ready for input: never on the
    // window thread.
    auto done = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({std::thread([this, done, scheduled] {
                            std::wstring text;
                            if (pppoe_.Start(text) &&
                                pppoe_.Press(PppoeClient::Button::Connect, text) && scheduled) {
                                connectedBySchedule_ = true;
                            }
                            // The start is over before its line says so.
                            *done = true;
                            if (!text.empty()) host_.PostLog(std::move(text));
                        }),
                        nullptr, done});
}

void Dialer::JoinFinishedThreads() {
    std::erase_if(workers_, [](Worker& worker) {
        if (!*worker.done) return false;
        worker.thread.join();
        return true;
    });
}

void Dialer::HangUp(std::wstring_view timedName) {
    hangUpRequested_ = true;
    const bool clientLink = AsciiUpper(timedName).find(L"NTS PPPOE") != std::wstring::npos;
    if (clientLink && network_.FindPppoeClientWindow()) {
        std::wstring text;
        if (!pppoe_.Press(PppoeClient::Button::Disconnect, text)) host_.Log(std::move(text));
        text.clear();
        if (!pppoe_.Press(PppoeClient::Button::Exit, text)) host_.Log(std::move(text));
        return;
    }
    HangUpRas();
}

void Dialer::HangUpRas() {
    bool stopped = false;
    std::vector<RasHandle> handles;
    const auto add = [&handles](RasHandle handle) {
        if (handle != 0 && std::find(handles.begin(), handles.end(), handle) == handles.end()) {
            handles.push_back(handle);
        }
    };
    add(std::exchange(connection_, 0));
    const auto end = [&](DialAttempt& attempt) {
        stopped = stopped || attempt.InProgress();
        attempt.Cancel();
        add(attempt.TakeHandle());
    };
    // Every attempt with a thread (one retry's predecessor may still be
    // winding down), and the last one, which may hold the connection.
    for (Worker& worker : workers_) {
        if (worker.attempt) end(*worker.attempt);
    }
    if (current_) end(*current_);
    for (const RasHandle handle : handles) dial_.HangUp(handle);
    // Nothing to end (a LAN, say): nothing is said.
    if (!handles.empty() || stopped) host_.Log(L"连接已关闭\r\n");
}

void Dialer::OnDialState(int state, std::uint32_t error) {
    host_.Log(std::wstring(DialStateText(state)) + L"\r\n");
    if (error != 0) {
        const bool retry = RetriesArmed();
        host_.Log(RasErrorText(dial_, error, L"不知道的事件发生") + L"\r\n");
        HangUpRas();
        if (retry) {
            ++attempt_;
            Dial(DialKind::kScheduled, {});
        }
        return;
    }
    if (state == kRasConnected) {
        host_.Log(L"在线.\r\n");
        if (current_) {
            if (current_->InProgress() && current_->Scheduled()) connectedBySchedule_ = true;
            current_->Finish();
        }
    } else if (state == kRasDisconnected) {
        // The line went before or while it came up: let the port go.
        HangUpRas();
    }
}

void Dialer::OnSessionStart(RasHandle connection) {
    if (connection != 0) connection_ = connection;
}

void Dialer::OnSessionEnd() {
    connection_ = 0;
    connectedBySchedule_ = false;
    attempt_ = 1;
    // The attempt that made the connection lets its handle go with it; one
    // still dialling keeps its own.
    if (current_ && !current_->InProgress()) current_->TakeHandle();
}

bool Dialer::CanConnect(bool timing, const EntryChoice& choice) const {
    if (timing || AttemptRunning()) return false;
    if (choice.selectionChanges <= 1 &&
        !ReadSetting(settings_, settings::kDefaultConnect).empty()) {
        return true;
    }
    return !choice.selectedEntry.empty() && Connection() == 0;
}

bool Dialer::CanHangUp(bool timing) const {
    return timing || Connection() != 0;
}

bool Dialer::AttemptRunning() const {
    if (current_ && current_->InProgress()) return true;
    return std::any_of(workers_.begin(), workers_.end(),
                       [](const Worker& worker) { return !worker.attempt && !*worker.done; });
}

int Dialer::RunningThreads() const {
    return static_cast<int>(std::count_if(workers_.begin(), workers_.end(),
                                          [](const Worker& worker) { return !*worker.done; }));
}

bool Dialer::RetriesArmed() const {
    return current_ && current_->Scheduled() && current_->InProgress() && !hangUpRequested_;
}

RasHandle Dialer::Connection() const {
    if (connection_ != 0) return connection_;
    return current_ ? current_->Handle() : 0;
}

}  // namespace hourlink
