// The kinds of connection. Only Modem, Broadband and Vpn are timed and recorded;
// a PPPoE client link or a LAN counts as Broadband.
#pragma once

#include <cstdint>
#include <string_view>

namespace hourlink {

enum class ConnectionType : std::uint8_t {
    Modem = 1,
    Broadband = 2,
    Vpn = 3,
    Irda = 4,
    Parallel = 5,
    Other = 6,
};

inline bool IsTimedConnectionType(int type) {
    return type >= 1 && type <= 3;
}

// Classifies a phonebook entry by its device type and device name. On the 9x
// family anything that is neither a modem nor ISDN is Broadband, VPNs included.
ConnectionType Classify(std::string_view deviceType, std::string_view deviceName, bool ntFamily);

// True for loopback (127/8), link-local (169.254/16) and private (10/8,
// 172.16/12, 192.168/16) dotted addresses.
bool IsPrivateAddress(std::string_view address);

// ASCII upper case of a GBK text; the second byte of a double-byte character is
// left alone, so Chinese text is never altered.
std::string UpperGbk(std::string_view text);

}  // namespace hourlink
