#include "shell/dialogs/ping_dialog.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "core/ui/ping_fields.h"
#include "res/ping_res.h"
#include "shell/win/text.h"

namespace hourlink {

PingDialog::PingDialog(PlatformFactory makePlatform, const Clock& clock)
    : Dialog(IDD_PING), makePlatform_(std::move(makePlatform)), clock_(clock) {}

PingDialog::~PingDialog() {
    Destroy();  // a window still open stops its run
}

bool PingDialog::OnInitDialog() {
    SetDlgItemTextW(Hwnd(), IDC_PING_HOST, win::LoadResourceString(IDS_PING_DEFAULT_HOST).c_str());
    SetNumber(IDC_PING_TIMEOUT, 1000);
    SetNumber(IDC_PING_SIZE, 64);
    SetNumber(IDC_PING_MAX_SIZE, maxMessageSize_);
    SetNumber(IDC_PING_LOSS, loss_);
    SetDlgItemTextW(Hwnd(), IDC_PING_START, win::LoadResourceString(IDS_PING_START).c_str());
    return true;
}

bool PingDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_PING_START && code == BN_CLICKED) {
        if (Running()) {
            Stop();
        } else {
            Start();
        }
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

LRESULT PingDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kResultsMessage:
            OnResults();
            return TRUE;
        case WM_DESTROY:
            Stop();
            break;
    }
    return Dialog::WndProc(msg, wp, lp);
}

void PingDialog::SetNumber(int control, int value) {
    SetDlgItemInt(Hwnd(), control, static_cast<UINT>(value), FALSE);
}

void PingDialog::Start() {
    const auto timeout = ping_fields::CheckTimeout(ItemText(IDC_PING_TIMEOUT));
    if (!timeout.value) return RefuseField(IDC_PING_TIMEOUT, timeout.message);
    const auto size = ping_fields::CheckMessageSize(ItemText(IDC_PING_SIZE));
    if (!size.value) return RefuseField(IDC_PING_SIZE, size.message);

    // The host as typed, every character kept, for the lookup and the messages.
    const std::string host = win::WideToUtf8(ItemText(IDC_PING_HOST));
    auto run = std::make_shared<Run>();
    run->window = Hwnd();
    try {
        std::thread(Work, run, makePlatform_(), std::cref(clock_), *timeout.value, host,
                    *size.value)
            .detach();
    } catch (const std::system_error&) {
        AppendLine(L"Unable to start: no thread for the requests.");
        return;
    }
    run_ = std::move(run);
    // Every run counts afresh.
    loss_ = 0;
    SetDlgItemTextW(Hwnd(), IDC_PING_START, win::LoadResourceString(IDS_PING_STOP).c_str());
    SetNumber(IDC_PING_TIMEOUT, *timeout.value);
    SetNumber(IDC_PING_SIZE, *size.value);
    SetNumber(IDC_PING_LOSS, loss_);
}

void PingDialog::Work(std::shared_ptr<Run> run, std::unique_ptr<NetworkPlatform> platform,
                      const Clock& clock, int timeoutMs, std::string host, int size) {
    Pinger pinger(*platform, clock);
    // False once the window has stopped the run: nothing more is reported.
    const auto report = [&run](Result result) {
        std::lock_guard lock(run->mutex);
        if (run->stop) return false;
        run->results.push_back(std::move(result));
        PostMessageW(run->window, kResultsMessage, 0, 0);
        return true;
    };
    int maxMessageSize = 0;
    if (!pinger.Open(timeoutMs, host, size, maxMessageSize)) {
        report({Result::Kind::OpenFailed, pinger.Message()});
        return;
    }
    if (!report({Result::Kind::Opened, {}, maxMessageSize})) return;
    int loss = 0;
    for (;;) {
        {
            std::unique_lock lock(run->mutex);
            if (run->wake.wait_for(lock, std::chrono::milliseconds(kTickMs),
                                   [&run] { return run->stop; })) {
                return;
            }
        }
        const bool received = pinger.ProbeOnce(loss);
        // A send or receive error ends the run; a time-out is just a lost reply.
        const bool failed = !received && pinger.Message().find(L"failed:") != std::wstring::npos;
        if (!report({failed ? Result::Kind::Failed : Result::Kind::Reply, pinger.Message(), loss}) ||
            failed) {
            return;
        }
    }
}

void PingDialog::Stop() {
    if (run_) {
        {
            std::lock_guard lock(run_->mutex);
            run_->stop = true;
        }
        run_->wake.notify_all();
        run_.reset();
    }
    if (Hwnd()) {
        SetDlgItemTextW(Hwnd(), IDC_PING_START, win::LoadResourceString(IDS_PING_START).c_str());
    }
}

void PingDialog::OnResults() {
    if (!run_) return;  // a notice of a run already stopped
    std::deque<Result> results;
    {
        std::lock_guard lock(run_->mutex);
        results.swap(run_->results);
    }
    for (Result& result : results) {
        switch (result.kind) {
            case Result::Kind::Opened:
                maxMessageSize_ = result.number;
                SetNumber(IDC_PING_MAX_SIZE, maxMessageSize_);
                break;
            case Result::Kind::OpenFailed:
                AppendLine(result.message);
                Stop();
                return;
            case Result::Kind::Reply:
            case Result::Kind::Failed:
                AppendLine(result.message);
                // Time-outs count as losses too, so the figure follows every tick.
                if (result.number != loss_) {
                    loss_ = result.number;
                    SetNumber(IDC_PING_LOSS, loss_);
                }
                if (result.kind == Result::Kind::Failed) {
                    Stop();
                    return;
                }
                break;
        }
    }
}

void PingDialog::AppendLine(std::wstring_view line) {
    HWND output = Item(IDC_PING_OUTPUT);
    if (!output) return;
    // The output does not wrap, so its lines are the lines appended (and the
    // empty one after the last).
    const auto lines = static_cast<int>(SendMessageW(output, EM_GETLINECOUNT, 0, 0));
    if (lines >= kMaxLines) {
        const LRESULT cut = SendMessageW(output, EM_LINEINDEX, lines - kMaxLines + kKeptLines, 0);
        SendMessageW(output, EM_SETREADONLY, FALSE, 0);
        SendMessageW(output, EM_SETSEL, 0, cut);
        SendMessageW(output, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        SendMessageW(output, EM_SETREADONLY, TRUE, 0);
    }
    const int end = GetWindowTextLengthW(output);
    SendMessageW(output, EM_SETSEL, end, end);
    const std::wstring text = std::wstring(line) + L"\r\n";
    SendMessageW(output, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(output, EM_SCROLLCARET, 0, 0);
}

}  // namespace hourlink
