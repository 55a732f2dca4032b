// The program's entry point: common controls, the settings store, the main
// frame and the message loop. (The single-instance check and the start-with-
// Windows entry join the application object later.)
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include "app/registry_settings_store.h"
#include "tracker/main_frame.h"
#include "win/message_loop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    // Any argument (the Run entry passes "hide") starts the
    // program with the main window hidden.
    const bool showMainWindow = commandLine == nullptr || commandLine[0] == L'\0';

    // HKEY_CURRENT_USER\Software\Hourlink\Hourlink.
    hourlink::RegistrySettingsStore settings;
    hourlink::CMainFrame frame;
    if (!frame.Create(settings)) return 1;
    // Shown or hidden as the command line asks, then painted at once.
    frame.Show(showMainWindow ? SW_SHOW : SW_HIDE);
    UpdateWindow(frame.Hwnd());

    hourlink::win::MessageLoop loop;
    return loop.Run();
}
