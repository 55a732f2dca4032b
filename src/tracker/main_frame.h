// CMainFrame: the program's single top-level window. For now it is an empty
// frame: title from the document template's string 128, the program icon, the
// start-up normalisation of the settings while it is created, and the end of the
// message loop when it is destroyed. The month bar, status bar, splitter, frame
// messages and timers come later.
#pragma once

#include "app/settings_store.h"
#include "win/window.h"

namespace hourlink {

class CMainFrame : public win::Window {
  public:
    // Creates the window, hidden, reading and writing settings through
    // `settings`, which must outlive the window. False when it could not be
    // created.
    bool Create(SettingsStore& settings);

    // The main window's title: the first field of string resource 128 ("Hourlink").
    static std::wstring Title();

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    void OnCreate();
    void OnDpiChanged(const RECT& suggested);

    SettingsStore* settings_ = nullptr;
    // Property/TranWindow as the normalisation left it: the drop window's
    // translucency.
    int translucent_ = 0;
};

}  // namespace hourlink
