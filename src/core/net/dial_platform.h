// The dialing seam: what the dialer asks of RAS and of the process and window
// managers. The Win32 implementation calls the real functions; tests script a
// fake. Entry names, user names, passwords and numbers are the user's texts
// (wide), as the phonebook keeps them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/net/network_platform.h"

namespace hourlink {

// What one dial uses: the entry and what to dial it with. Each field is cut to
// the room RAS gives it (entry 256, phone and callback 128, user and password
// 256, domain 15 characters) before it is handed over.
struct DialParameters {
    std::wstring entryName;
    std::wstring phoneNumber;
    std::wstring callbackNumber;
    std::wstring userName;
    std::wstring password;
    std::wstring domain;
};

// The room RAS has for each text, in characters.
inline constexpr std::size_t kMaxEntryName = 256;
inline constexpr std::size_t kMaxPhoneNumber = 128;
inline constexpr std::size_t kMaxUserName = 256;
inline constexpr std::size_t kMaxPassword = 256;
inline constexpr std::size_t kMaxDomain = 15;

// RAS codes the dialer tells apart.
inline constexpr std::uint32_t kErrorInvalidHandle = 6;

class DialPlatform {
  public:
    virtual ~DialPlatform() = default;

    // The entry's stored parameters; `hasPassword` tells whether RAS gave the
    // stored password. 0 or the RAS error code.
    virtual std::uint32_t GetEntryDialParameters(const std::wstring& entryName,
                                                 DialParameters& parameters, bool& hasPassword) = 0;
    // Stores user name and password into the entry; `removePassword` removes
    // the stored password instead. 0 or the RAS error code.
    virtual std::uint32_t SetEntryDialParameters(const DialParameters& parameters,
                                                 bool removePassword) = 0;
    // Starts an asynchronous dial; progress arrives as dial-state notifications
    // on the window thread. `handle` receives the connection's handle, which
    // RAS may give even when it refuses. 0 or the RAS error code.
    virtual std::uint32_t Dial(const DialParameters& parameters, RasHandle& handle) = 0;
    virtual std::uint32_t HangUp(RasHandle handle) = 0;
    // 0 while RAS still knows the connection; kErrorInvalidHandle once it is
    // gone, or another error code.
    virtual std::uint32_t ConnectionStatus(RasHandle handle) = 0;
    // RAS's text for an error code, when it has one.
    virtual std::optional<std::wstring> ErrorText(std::uint32_t code) = 0;

    // Starts a program (a complete command line, quoted as needed) and waits up
    // to `idleTimeoutMs` for it to wait for input. 0 or the system's error code.
    virtual std::uint32_t StartProgram(const std::wstring& commandLine, int idleTimeoutMs) = 0;
    // Posts a mouse click (button down, then up) to a window.
    virtual void PostClick(std::uintptr_t window) = 0;
};

}  // namespace hourlink
