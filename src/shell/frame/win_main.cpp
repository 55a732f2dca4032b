// The program's entry point: the application object starts the program, then
// runs the message loop until the main frame is closed.
#include <windows.h>

#include "shell/frame/hourlink_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    hourlink::CHourlinkApp app;
    if (!app.InitInstance(commandLine ? commandLine : L"")) return 0;
    return app.Run();
}
