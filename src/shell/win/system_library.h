// Functions of system DLLs that the program needs only now and then (the file
// dialog, the connection sounds), looked up at their first use instead of
// imported. Starting the program thus loads neither those DLLs nor what they
// bring in (the print spooler with its libraries behind the file dialog's
// DLL). The DLL is taken from the system folder only, never from the
// program's own folder, and stays loaded.
#pragma once

#include <windows.h>

namespace hourlink::win {

// The system DLL `library` (a file name), loaded on the first call; null when
// it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* library);

// Function `name` of the system DLL `library`; null when either is missing.
template <class Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    HMODULE module = LoadSystemLibrary(library);
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// OLE on the calling (the UI) thread, started the first time something that
// may run the shell's COM code comes (the file dialogs, opening a document,
// the help, the phonebook's editor), not at start-up: ole32 and the COM
// runtime behind it stay unloaded in a run that never needs them. True when
// OLE is ready.
bool UseOle();
// At the end of the program: OLE ends on the thread that started it.
void EndOle();

}  // namespace hourlink::win
