#include "shell/frame/hourlink_app.h"

// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <vector>

#include "core/settings/app_paths.h"
#include "core/settings/settings.h"
#include "shell/platform/program_file.h"
#include "shell/platform/startup_entry.h"
#include "shell/win/message_loop.h"
#include "shell/win/system_library.h"

namespace hourlink {

HWND FindMarkedWindow(const std::wstring& baseName) {
    for (HWND hwnd = GetWindow(GetDesktopWindow(), GW_CHILD); hwnd;
         hwnd = GetWindow(hwnd, GW_HWNDNEXT)) {
        if (GetPropW(hwnd, baseName.c_str())) return hwnd;
    }
    return nullptr;
}

CHourlinkApp::~CHourlinkApp() {
    frame_.Destroy();
    win::EndOle();
    // instanceMutex_ is left to the end of the process, which releases it.
}

bool CHourlinkApp::ClaimSingleInstance(const std::wstring& baseName) {
    instanceMutex_ = CreateMutexW(nullptr, TRUE, baseName.c_str());
    if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
    if (HWND running = FindMarkedWindow(baseName)) {
        ShowWindow(running, SW_SHOWNORMAL);
        SetActiveWindow(running);
        SetForegroundWindow(running);
        SetFocus(running);
    }
    return false;
}

bool CHourlinkApp::InitInstance(std::wstring_view commandLine) {
    // Any argument starts the program hidden; the start-with-Windows entry
    // passes "hide".
    showMainWindow_ = !HasArguments(commandLine);

    std::wstring baseName = ProgramBaseName();
    if (baseName.empty()) baseName = L"Hourlink";
    if (!ClaimSingleInstance(baseName)) return false;

    // OLE starts with the first file dialog, document or help window
    // (win::UseOle), not here: most runs never need it.

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    // The frame's creation normalises the settings (in HKEY_CURRENT_USER under
    // Software\Hourlink\Hourlink) before anything below reads them.
    if (!frame_.Create(settings_)) return false;
    frame_.Show(showMainWindow_ ? SW_SHOW : SW_HIDE);
    UpdateWindow(frame_.Hwnd());
    // The connection watcher starts once the window is up: its thread reads
    // the record file (a large one takes a while) while the window is built
    // and painted on the other core, not in its way. The history list fills
    // when the records are in, as before.
    frame_.OnInitialUpdate();
    // Marks the main window for a later copy to find.
    SetPropW(frame_.Hwnd(), baseName.c_str(), reinterpret_cast<HANDLE>(1));

    // Rewritten at every start, so the entry follows the program when it moves.
    if (ReadSetting(settings_, settings::kStartRun) == 1) {
        StartupEntry(ProgramDirectory().value_or(std::wstring())).Set(frame_.Hwnd());
    }
    return true;
}

int CHourlinkApp::Run() {
    win::MessageLoop loop;
    return loop.Run();
}

}  // namespace hourlink
