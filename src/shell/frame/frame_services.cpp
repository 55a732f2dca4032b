#include "shell/frame/frame_services.h"

#include <memory>

#include "shell/dialogs/connect_dialog.h"
#include "shell/frame/frame_messages.h"
#include "shell/frame/frame_watcher_events.h"
#include "shell/platform/phonebook_editor.h"
#include "shell/win/text.h"

namespace hourlink {

void WindowNotifier::ShowMessage(std::wstring_view text) {
    HWND hwnd = window_();
    if (hwnd && GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) {
        PostOwnedText(hwnd, WM_SHOW_MESSAGE, std::wstring(text), false, MB_OK);
        return;
    }
    const std::wstring copy(text);
    MessageBoxW(hwnd, copy.c_str(), L"Hourlink", MB_OK);
}

void WindowDialHost::ShowError(std::wstring text) {
    MessageBoxW(window_(), text.c_str(), L"Hourlink", MB_OK | MB_ICONERROR);
}

std::wstring WindowDialHost::PhoneNumberOf(const std::wstring& entryName) {
    network_.RefreshEntries();
    return win::GbkToWide(network_.FindPhoneNumber(win::WideToGbk(entryName)));
}

bool WindowDialHost::AskConnect(ConnectDetails& details) {
    const auto edit = [](HWND owner, const std::wstring& entry) {
        EditPhonebookEntry(owner, win::WideToGbk(entry));
    };
    return ConnectDialog(details, edit).DoModal(window_()) == IDOK;
}

void WindowDialHost::PostLog(std::wstring text) {
    PostOwnedText(window_(), WM_DIAL_TEXT, std::move(text), true);
}

void WindowDialHost::PostError(std::wstring text) {
    PostOwnedText(window_(), WM_SHOW_MESSAGE, std::move(text), false, MB_OK | MB_ICONERROR);
}

}  // namespace hourlink
