#include "shell/frame/frame_automation.h"

#include "shell/frame/frame_messages.h"

#include "shell/dialogs/run_programs_dialog.h"
#include "shell/dialogs/schedule_dialog.h"
#include "shell/dialogs/shutdown_dialog.h"
#include "shell/platform/system_shutdown.h"

namespace hourlink {

namespace {

// How long a shutdown waits for the hung-up session to be recorded.
constexpr ULONGLONG kHangUpWaitMs = 10000;

template <typename R, typename... A>
R Call(const std::function<R(A...)>& f, R otherwise, A... args) {
    return f ? f(args...) : otherwise;
}

}  // namespace

FrameAutomation::FrameAutomation(HWND frame, SettingsStore& settings, const Clock& clock,
                                 AutomationLinks links)
    : frame_(frame),
      settings_(settings),
      clock_(clock),
      links_(std::move(links)),
      schedule_(settings, clock, *this),
      shutdown_(settings, clock, *this) {}

bool FrameAutomation::OnTimer(UINT_PTR id) {
    switch (id) {
        case kScheduleTimer:
            schedule_.OnTimer();
            return true;
        case kShutdownTimer:
            shutdown_.Check();
            return true;
    }
    return false;
}

void FrameAutomation::OnListed() {
    schedule_.Arm();
    shutdown_.ApplyStored();
}

void FrameAutomation::OnConnect(bool timed) {
    schedule_.OnConnect();
    // A connection that is not timed has no tick: the timer goes on checking.
    if (timed) shutdown_.OnSessionTickStarted();
}

void FrameAutomation::OnSessionTick() {
    if (schedule_.HangUpDue() && links_.hangUp) links_.hangUp();
    shutdown_.Check();
}

void FrameAutomation::OnDisconnect() {
    schedule_.OnDisconnect();
    shutdown_.StartTimer();
}

void FrameAutomation::ScheduleCommand() {
    ScheduleDialog dialog(settings_, links_.entryNames);
    if (dialog.DoModal(frame_) == IDOK) schedule_.OnPlanSaved();
}

void FrameAutomation::ShutdownCommand() {
    ShutdownSettingsDialog dialog(settings_, clock_);
    if (dialog.DoModal(frame_) != IDOK) return;
    dialog.Save();
    shutdown_.ArmFromDialog(dialog.Values());
}

void FrameAutomation::RunProgramsCommand() {
    RunProgramsDialog(settings_).DoModal(frame_);
}

void FrameAutomation::SetCountdownForTesting(int seconds, CountdownDialog::TickSource ticks) {
    countdownSeconds_ = seconds;
    countdownTicks_ = std::move(ticks);
}

bool FrameAutomation::ConnectionUp() {
    return Call(links_.connectionUp, false);
}

bool FrameAutomation::HangUpRequested() {
    return Call(links_.hangUpRequested, false);
}

void FrameAutomation::ClearHangUpRequest() {
    if (links_.clearHangUpRequest) links_.clearHangUpRequest();
}

bool FrameAutomation::DialInProgress() {
    return Call(links_.dialInProgress, false);
}

void FrameAutomation::DialScheduled() {
    if (links_.dialScheduled) links_.dialScheduled();
}

bool FrameAutomation::ConnectedBySchedule() {
    return Call(links_.connectedBySchedule, false);
}

void FrameAutomation::SetScheduleTimer(bool running) {
    if (running) {
        SetTimer(frame_, kScheduleTimer, WeeklySchedule::kTimerMs, nullptr);
    } else {
        KillTimer(frame_, kScheduleTimer);
    }
}

void FrameAutomation::ShowScheduleText(std::wstring_view text) {
    if (links_.showStatus) links_.showStatus(text);
}

bool FrameAutomation::ConnectionTimed() {
    return Call(links_.connectionTimed, false);
}

bool FrameAutomation::StartShutdownTimer() {
    return SetTimer(frame_, kShutdownTimer, ShutdownPlan::kTimerMs, nullptr) != 0;
}

void FrameAutomation::StopShutdownTimer() {
    KillTimer(frame_, kShutdownTimer);
}

void FrameAutomation::ShowShutdownText(std::wstring_view text) {
    if (links_.showStatus) links_.showStatus(text);
}

bool FrameAutomation::ConfirmShutdown() {
    ShutdownCountdownDialog dialog(countdownSeconds_, countdownTicks_);
    // A countdown that cannot be shown is no consent.
    return dialog.DoModal(frame_) == CountdownDialog::kAct;
}

std::uint32_t FrameAutomation::EnableShutdownPrivilege() {
    return hourlink::EnableShutdownPrivilege();
}

void FrameAutomation::HangUpAndWait() {
    if (links_.hangUp) links_.hangUp();
    // The watcher sends the session's end to this thread: keep handling
    // messages until it has been recorded, or give up after a while.
    const ULONGLONG deadline = GetTickCount64() + kHangUpWaitMs;
    while (ConnectionUp() && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // For the message loop that owns it.
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

std::uint32_t FrameAutomation::PowerOff(unsigned flags) {
    return ShutDownWindows(flags);
}

void FrameAutomation::Log(std::wstring text) {
    if (links_.log) links_.log(text);
}

}  // namespace hourlink
