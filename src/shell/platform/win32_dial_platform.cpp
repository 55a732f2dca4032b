#include "shell/platform/win32_dial_platform.h"

#include <ras.h>
#include <raserror.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <vector>

namespace hourlink {

namespace {

std::atomic<HWND> g_notifyWindow = nullptr;
std::atomic<UINT> g_notifyMessage = 0;

// Runs on RAS's thread: posting is all it may do.
VOID WINAPI OnDialNotification(UINT, RASCONNSTATE state, DWORD error) {
    if (HWND window = g_notifyWindow.load()) {
        PostMessageW(window, g_notifyMessage.load(), error != 0 ? 0 : static_cast<WPARAM>(state),
                     static_cast<LPARAM>(error));
    }
}

template <class Function>
Function Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

template <std::size_t N>
void Copy(wchar_t (&field)[N], const std::wstring& text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::wmemcpy(field, text.data(), n);
    field[n] = L'\0';
}

template <std::size_t N>
std::wstring Text(const wchar_t (&field)[N]) {
    return std::wstring(field, std::find(field, field + N, L'\0'));
}

RASDIALPARAMSW Record(const DialParameters& p) {
    RASDIALPARAMSW record{};
    record.dwSize = sizeof record;
    Copy(record.szEntryName, p.entryName);
    Copy(record.szPhoneNumber, p.phoneNumber);
    Copy(record.szCallbackNumber, p.callbackNumber);
    Copy(record.szUserName, p.userName);
    Copy(record.szPassword, p.password);
    Copy(record.szDomain, p.domain);
    return record;
}

}  // namespace

struct Win32DialPlatform::Functions {
    decltype(&RasGetEntryDialParamsW) getDialParams = nullptr;
    decltype(&RasSetEntryDialParamsW) setDialParams = nullptr;
    decltype(&RasDialW) dial = nullptr;
    decltype(&RasHangUpW) hangUp = nullptr;
    decltype(&RasGetConnectStatusW) connectStatus = nullptr;
    decltype(&RasGetErrorStringW) errorString = nullptr;
};

Win32DialPlatform::Win32DialPlatform()
    : library_(LoadLibraryW(L"RASAPI32.DLL")), ras_(std::make_unique<Functions>()) {
    if (!library_) return;
    ras_->getDialParams =
        Lookup<decltype(&RasGetEntryDialParamsW)>(library_, "RasGetEntryDialParamsW");
    ras_->setDialParams =
        Lookup<decltype(&RasSetEntryDialParamsW)>(library_, "RasSetEntryDialParamsW");
    ras_->dial = Lookup<decltype(&RasDialW)>(library_, "RasDialW");
    ras_->hangUp = Lookup<decltype(&RasHangUpW)>(library_, "RasHangUpW");
    ras_->connectStatus = Lookup<decltype(&RasGetConnectStatusW)>(library_, "RasGetConnectStatusW");
    ras_->errorString = Lookup<decltype(&RasGetErrorStringW)>(library_, "RasGetErrorStringW");
}

Win32DialPlatform::~Win32DialPlatform() {
    if (library_) FreeLibrary(library_);
}

void Win32DialPlatform::SetNotifyWindow(HWND window, UINT message) {
    // The message first: the callback reads the window, then the message.
    g_notifyMessage = message;
    g_notifyWindow = window;
}

std::uint32_t Win32DialPlatform::Missing() const {
    return library_ ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND;
}

std::uint32_t Win32DialPlatform::GetEntryDialParameters(const std::wstring& entryName,
                                                        DialParameters& parameters,
                                                        bool& hasPassword) {
    if (!ras_->getDialParams) return Missing();
    DialParameters named;
    named.entryName = entryName;
    RASDIALPARAMSW record = Record(named);
    BOOL password = FALSE;
    const DWORD result = ras_->getDialParams(nullptr, &record, &password);
    if (result != 0) return result;
    parameters.entryName = Text(record.szEntryName);
    parameters.phoneNumber = Text(record.szPhoneNumber);
    parameters.callbackNumber = Text(record.szCallbackNumber);
    parameters.userName = Text(record.szUserName);
    parameters.password = Text(record.szPassword);
    parameters.domain = Text(record.szDomain);
    hasPassword = password != FALSE;
    SecureZeroMemory(record.szPassword, sizeof record.szPassword);
    return 0;
}

std::uint32_t Win32DialPlatform::SetEntryDialParameters(const DialParameters& parameters,
                                                        bool removePassword) {
    if (!ras_->setDialParams) return Missing();
    RASDIALPARAMSW record = Record(parameters);
    const DWORD result = ras_->setDialParams(nullptr, &record, removePassword ? TRUE : FALSE);
    SecureZeroMemory(record.szPassword, sizeof record.szPassword);
    return result;
}

std::uint32_t Win32DialPlatform::Dial(const DialParameters& parameters, RasHandle& handle) {
    if (!ras_->dial) return Missing();
    RASDIALPARAMSW record = Record(parameters);
    HRASCONN connection = nullptr;
    const DWORD result = ras_->dial(nullptr, nullptr, &record, 0,
                                    reinterpret_cast<void*>(&OnDialNotification), &connection);
    SecureZeroMemory(record.szPassword, sizeof record.szPassword);
    handle = reinterpret_cast<RasHandle>(connection);
    return result;
}

std::uint32_t Win32DialPlatform::HangUp(RasHandle handle) {
    if (!ras_->hangUp) return Missing();
    return ras_->hangUp(reinterpret_cast<HRASCONN>(handle));
}

std::uint32_t Win32DialPlatform::ConnectionStatus(RasHandle handle) {
    if (!ras_->connectStatus) return Missing();
    RASCONNSTATUSW status{};
    status.dwSize = sizeof status;
    return ras_->connectStatus(reinterpret_cast<HRASCONN>(handle), &status);
}

std::optional<std::wstring> Win32DialPlatform::ErrorText(std::uint32_t code) {
    if (!ras_->errorString) return std::nullopt;
    wchar_t text[512] = {};
    if (ras_->errorString(code, text, static_cast<DWORD>(std::size(text))) != 0 || !text[0]) {
        return std::nullopt;
    }
    return std::wstring(text);
}

std::uint32_t Win32DialPlatform::StartProgram(const std::wstring& commandLine, int idleTimeoutMs) {
    // CreateProcessW may write into the command line: it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError();
    }
    // Its window comes up a moment after the start; then it waits for input.
    Sleep(2000);
    WaitForInputIdle(process.hProcess, static_cast<DWORD>(std::max(idleTimeoutMs, 0)));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

void Win32DialPlatform::PostClick(std::uintptr_t window) {
    const HWND button = reinterpret_cast<HWND>(window);
    PostMessageW(button, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(button, WM_LBUTTONUP, 0, 0);
}

}  // namespace hourlink
