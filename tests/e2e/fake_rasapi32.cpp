// A stand-in for the system's RAS library, written for the end-to-end tests:
// Wine's own is an empty stub, so a dial could never get past the phonebook.
// Placed beside Hourlink.exe (and preferred over Wine's with
// WINEDLLOVERRIDES=rasapi32=n,b), it keeps a phonebook read from
// "fake_ras.txt" beside it and writes every dial and hang-up, one per line in
// UTF-8, to "fake_ras.log" there.
//
// fake_ras.txt, UTF-8, one setting a line, fields separated by tabs:
//   entry <name> <device type> <device name> <phone number>
//   answer connected | <error code>     how every dial ends (default 678)
//
// A dial reports its progress through the caller's notification function from
// a thread of its own: "OpenPort", "PortOpened", "Authenticate", then the
// answer. No connection ever comes up.
#include <ras.h>
#include <raserror.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Entry {
    std::wstring name, deviceType, deviceName, phone;
};

std::mutex g_mutex;
HMODULE g_module = nullptr;

std::wstring Beside(const wchar_t* file) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.rfind(L'\\') + 1) + file;
}

std::wstring Wide(const std::string& utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string Utf8(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

struct Config {
    std::vector<Entry> entries;
    DWORD answer = 678;  // 0: connected
};

Config Read() {
    Config config;
    std::ifstream file(Beside(L"fake_ras.txt").c_str());
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::wstring> fields;
        std::stringstream in(line);
        for (std::string field; std::getline(in, field, '\t');) fields.push_back(Wide(field));
        fields.resize(std::max<std::size_t>(fields.size(), 5));  // a trailing empty field
        if (fields[0] == L"entry") {
            config.entries.push_back({fields[1], fields[2], fields[3], fields[4]});
        } else if (fields[0] == L"answer") {
            config.answer =
                fields[1] == L"connected" ? 0 : std::wcstoul(fields[1].c_str(), nullptr, 10);
        }
    }
    return config;
}

void Record(const std::wstring& line) {
    std::lock_guard lock(g_mutex);
    std::ofstream file(Beside(L"fake_ras.log").c_str(), std::ios::app | std::ios::binary);
    file << Utf8(line) << "\n";
}

const Entry* Find(const Config& config, const wchar_t* name) {
    for (const Entry& e : config.entries) {
        if (name && e.name == name) return &e;
    }
    return nullptr;
}

template <std::size_t N>
void Copy(wchar_t (&field)[N], const std::wstring& text) {
    lstrcpynW(field, text.c_str(), static_cast<int>(N));
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

DWORD WINAPI RasEnumEntriesW(LPCWSTR, LPCWSTR, LPRASENTRYNAMEW names, LPDWORD size, LPDWORD count) {
    const Config config = Read();
    const DWORD needed = static_cast<DWORD>(config.entries.size() * sizeof(RASENTRYNAMEW));
    *count = static_cast<DWORD>(config.entries.size());
    if (*size < needed) {
        *size = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < config.entries.size(); ++i) {
        names[i].dwSize = sizeof(RASENTRYNAMEW);
        Copy(names[i].szEntryName, config.entries[i].name);
    }
    return 0;
}

DWORD WINAPI RasGetEntryPropertiesW(LPCWSTR, LPCWSTR name, LPRASENTRYW entry, LPDWORD size, LPBYTE,
                                    LPDWORD) {
    const Config config = Read();
    const Entry* e = Find(config, name);
    if (!e) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (!entry || *size < sizeof(RASENTRYW)) {
        *size = sizeof(RASENTRYW);
        return ERROR_BUFFER_TOO_SMALL;
    }
    Copy(entry->szDeviceType, e->deviceType);
    Copy(entry->szDeviceName, e->deviceName);
    Copy(entry->szLocalPhoneNumber, e->phone);
    return 0;
}

DWORD WINAPI RasEnumConnectionsW(LPRASCONNW, LPDWORD, LPDWORD count) {
    *count = 0;
    return 0;
}

DWORD WINAPI RasGetProjectionInfoW(HRASCONN, RASPROJECTION, LPVOID, LPDWORD) {
    return ERROR_INVALID_HANDLE;
}

DWORD WINAPI RasGetConnectionStatistics(HRASCONN, RAS_STATS*) {
    return ERROR_INVALID_HANDLE;
}

DWORD WINAPI RasGetEntryDialParamsW(LPCWSTR, LPRASDIALPARAMSW params, LPBOOL password) {
    const Config config = Read();
    const Entry* e = Find(config, params->szEntryName);
    if (!e) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    Copy(params->szPhoneNumber, e->phone);
    Copy(params->szUserName, L"user");
    params->szPassword[0] = L'\0';
    *password = FALSE;
    return 0;
}

DWORD WINAPI RasSetEntryDialParamsW(LPCWSTR, LPRASDIALPARAMSW params, BOOL removePassword) {
    Record(std::wstring(L"store ") + params->szEntryName + L" " + params->szUserName +
           (removePassword ? L" -password" : L" +password"));
    return 0;
}

DWORD WINAPI RasDialW(LPRASDIALEXTENSIONS, LPCWSTR, LPRASDIALPARAMSW params, DWORD type,
                      LPVOID notifier, LPHRASCONN handle) {
    Record(std::wstring(L"dial ") + params->szEntryName + L" " + params->szPhoneNumber);
    *handle = reinterpret_cast<HRASCONN>(static_cast<INT_PTR>(0x5A5A));
    const DWORD answer = Read().answer;
    if (type == 0 && notifier) {
        auto report = reinterpret_cast<RASDIALFUNC>(notifier);
        std::thread([report, answer] {
            for (RASCONNSTATE state : {RASCS_OpenPort, RASCS_PortOpened, RASCS_Authenticate}) {
                Sleep(200);
                report(0, state, 0);
            }
            Sleep(200);
            if (answer == 0) {
                report(0, RASCS_Connected, 0);
            } else {
                report(0, RASCS_OpenPort, answer);
            }
        }).detach();
    }
    return 0;
}

DWORD WINAPI RasHangUpW(HRASCONN handle) {
    Record(L"hangup " + std::to_wstring(reinterpret_cast<INT_PTR>(handle)));
    return 0;
}

DWORD WINAPI RasGetConnectStatusW(HRASCONN, LPRASCONNSTATUSW) {
    return ERROR_INVALID_HANDLE;
}

DWORD WINAPI RasGetErrorStringW(UINT code, LPWSTR text, DWORD size) {
    if (code != 678 || size < 16) return ERROR_INVALID_PARAMETER;
    lstrcpynW(text, L"远程计算机没有响应。", static_cast<int>(size));
    return 0;
}

DWORD WINAPI RasEditPhonebookEntryW(HWND, LPCWSTR, LPCWSTR name) {
    Record(std::wstring(L"edit ") + (name ? name : L""));
    return 0;
}

}  // extern "C"
