#include "shell/dialogs/ping_dialog.h"

#include "core/ui/ping_fields.h"
#include "res/ping_res.h"
#include "shell/win/text.h"

namespace hourlink {

PingDialog::PingDialog(NetworkPlatform& platform, const Clock& clock)
    : Dialog(IDD_PING), pinger_(platform, clock) {}

PingDialog::~PingDialog() {
    Destroy();  // a window still open takes its timer with it
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
        case WM_TIMER:
            if (wp == kTimerId) {
                OnTick();
                return TRUE;
            }
            break;
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
    if (pinger_.Open(*timeout.value, host, *size.value, maxMessageSize_)) {
        // Every run counts afresh.
        loss_ = 0;
        SetDlgItemTextW(Hwnd(), IDC_PING_START, win::LoadResourceString(IDS_PING_STOP).c_str());
        timer_ = SetTimer(Hwnd(), kTimerId, kTickMs, nullptr);
    } else {
        AppendLine(pinger_.Message());
    }
    SetNumber(IDC_PING_TIMEOUT, *timeout.value);
    SetNumber(IDC_PING_SIZE, *size.value);
    SetNumber(IDC_PING_MAX_SIZE, maxMessageSize_);
    SetNumber(IDC_PING_LOSS, loss_);
}

void PingDialog::Stop() {
    if (timer_) {
        KillTimer(Hwnd(), timer_);
        timer_ = 0;
    }
    pinger_.Close();
    if (Hwnd()) {
        SetDlgItemTextW(Hwnd(), IDC_PING_START, win::LoadResourceString(IDS_PING_START).c_str());
    }
}

void PingDialog::OnTick() {
    if (!Running()) return;  // a message queued before the run stopped
    int loss = loss_;
    const bool received = pinger_.ProbeOnce(loss);
    // A send or receive error ends the run; a time-out is just a lost reply.
    if (!received && pinger_.Message().find(L"failed:") != std::wstring::npos) Stop();
    AppendLine(pinger_.Message());
    // Time-outs count as losses too, so the figure follows every tick.
    if (loss != loss_) {
        loss_ = loss;
        SetNumber(IDC_PING_LOSS, loss_);
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
