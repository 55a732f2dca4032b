#include "shell/frame/frame_watcher_events.h"

#include <mmsystem.h>
// mmsystem.h maps PlaySound to PlaySoundW, which would rename our member.
#undef PlaySound

#include "shell/frame/frame_messages.h"
#include "shell/platform/program_file.h"
#include "shell/win/system_library.h"

namespace hourlink {

FrameWatcherEvents::FrameWatcherEvents(HWND frame, SettingsStore* settings) : frame_(frame) {
    if (!settings) return;
    programs_ = std::make_unique<ProgramStarter>(
        *settings, launcher_, [this](std::wstring text) { Log(FormatWatcherReport(text, 0)); });
}

void FrameWatcherEvents::SessionStarted(const ConnectionStatus& status) {
    auto copy = std::make_unique<ConnectionStatus>(status);
    if (PostMessageW(frame_, WM_CONNECTION_EVENT, reinterpret_cast<WPARAM>(copy.get()), 0)) {
        copy.release();  // the message owns it now
    }
}

void FrameWatcherEvents::SessionEnded(const ConnectionStatus& status) {
    // SendMessageW returns only after the frame's handler has run, and that
    // handler takes the copy. When the window is gone nothing ran: the copy is
    // still ours, and a handler that did not take it would leak it, so the
    // window must exist for the send to hand it over.
    auto copy = std::make_unique<ConnectionStatus>(status);
    if (!IsWindow(frame_)) return;
    SendMessageW(frame_, WM_CONNECTION_EVENT, reinterpret_cast<WPARAM>(copy.release()), 0);
}

void FrameWatcherEvents::RecordsLoaded() {
    PostMessageW(frame_, WM_RECORDS_UPDATED, 1, 0);
}

void FrameWatcherEvents::Log(std::wstring text) {
    PostOwnedText(frame_, WM_LOG_TEXT, std::move(text), false);
}

bool PostOwnedText(HWND window, UINT message, std::wstring text, bool inWParam, WPARAM style) {
    auto copy = std::make_unique<std::wstring>(std::move(text));
    const auto pointer = reinterpret_cast<std::uintptr_t>(copy.get());
    const WPARAM wp = inWParam ? pointer : style;
    const LPARAM lp = inWParam ? 0 : static_cast<LPARAM>(pointer);
    if (!PostMessageW(window, message, wp, lp)) return false;
    copy.release();  // the message owns it now
    return true;
}

void FrameWatcherEvents::PlaySound(std::wstring_view file) {
    // Asynchronous, and silent when the file is missing (no system default).
    static const auto play =
        win::SystemFunction<decltype(&sndPlaySoundW)>(L"winmm.dll", "sndPlaySoundW");
    // Beside the program: started from the Run entry, the current folder is
    // System32, where a bare name finds nothing.
    const std::wstring name = ProgramDirectory().value_or(std::wstring()) + std::wstring(file);
    if (play) play(name.c_str(), SND_ASYNC | SND_NODEFAULT);
}

void FrameWatcherEvents::StartPrograms() {
    if (programs_) programs_->StartPrograms();
}

void FrameWatcherEvents::EndPrograms() {
    if (programs_) programs_->EndPrograms();
}

void FrameWatcherEvents::Pause(int milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

std::unique_ptr<ConnectionStatus> TakeConnectionStatus(WPARAM wp) {
    return std::unique_ptr<ConnectionStatus>(reinterpret_cast<ConnectionStatus*>(wp));
}

std::unique_ptr<std::wstring> TakeLogText(LPARAM lp) {
    return std::unique_ptr<std::wstring>(reinterpret_cast<std::wstring*>(lp));
}

}  // namespace hourlink
