// The start-with-Windows entry: the value "Hourlink" under
// SOFTWARE\Microsoft\Windows\CurrentVersion\Run, a REG_SZ command that starts the
// program hidden. It is written for the machine (HKEY_LOCAL_MACHINE); where a
// standard user may not write there, for the user (HKEY_CURRENT_USER), so the
// user's choice is really kept.
#pragma once

#include <windows.h>

#include <functional>
#include <string>


namespace hourlink {

// The keys the Run path is looked up under; a test points them elsewhere.
struct RunKeyRoots {
    HKEY machine = HKEY_LOCAL_MACHINE;
    HKEY user = HKEY_CURRENT_USER;
};

class StartupEntry {
  public:
    static constexpr const wchar_t* kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    static constexpr const wchar_t* kValueName = L"Hourlink";

    // Shows a failure to the user; by default a message box over `owner`.
    using Report = std::function<void(const std::wstring& text)>;
    // Appends a line to the frame's log pane.
    using Log = std::function<void(std::wstring text)>;

    // The entry starts the program in `programDirectory`, hidden.
    explicit StartupEntry(std::wstring programDirectory, RunKeyRoots roots = {});

    // Writes the entry; 1 on success. When neither key takes it, reports "Failed
    // to set at startup" and returns 0.
    int Set(HWND owner);
    // Removes the entry from both keys; 1 when it was removed from either. When
    // neither had it, logs "Failed to Delete startup\r\n" and returns 0.
    int Delete(const Log& log);

    // The command Set stores.
    std::wstring Command();

    void SetReport(Report report) { report_ = std::move(report); }

  private:
    std::wstring programDirectory_;
    RunKeyRoots roots_;
    Report report_;
};

}  // namespace hourlink
