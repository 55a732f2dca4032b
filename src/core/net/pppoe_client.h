// The "EnterNet" PPPoE client, a program of its own with no programming
// interface: it is started from its App Paths entry, and its buttons are pressed
// by finding its windows by their titles and posting clicks to the child whose
// text matches.
#pragma once

#include <string>

#include "core/net/dial_platform.h"
#include "core/net/network_platform.h"

namespace hourlink {

class PppoeClient {
  public:
    enum class Button { Connect = 1, Disconnect = 2, Exit = 3 };

    PppoeClient(NetworkPlatform& network, DialPlatform& dial) : network_(network), dial_(dial) {}

    // Starts the client and waits (at most 30 s) until it is ready for input.
    // False when it is not installed (silently) or could not be started, with
    // the log line in `logText`. Blocks: run it off the window thread.
    bool Start(std::wstring& logText);
    // Clicks the first child of a client window whose text is one of the
    // button's texts. False with the log line in `logText` when there is none.
    bool Press(Button button, std::wstring& logText);

    // The client's program file, from its App Paths entry; empty when it is
    // not installed there or the file is missing.
    std::wstring ProgramPath();

  private:
    NetworkPlatform& network_;
    DialPlatform& dial_;
};

}  // namespace hourlink
