#include "core/net/connection_type.h"

#include <string>

#include "core/base/gbk.h"

namespace hourlink {

std::string UpperGbk(std::string_view text) {
    std::string upper(text);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        const auto c = static_cast<unsigned char>(upper[i]);
        if (IsGbkLeadByte(c)) {
            ++i;  // skip the trail byte
        } else if (c >= 'a' && c <= 'z') {
            upper[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

ConnectionType Classify(std::string_view deviceType, std::string_view deviceName, bool ntFamily) {
    const std::string type = UpperGbk(deviceType);
    const std::string name = UpperGbk(deviceName);
    const auto has = [](const std::string& text, std::string_view part) {
        return text.find(part) != std::string::npos;
    };
    if (has(type, "MODEM")) return ConnectionType::Modem;
    if (has(type, "ISDN")) return ConnectionType::Broadband;
    if (has(type, "VPN")) return ntFamily ? ConnectionType::Vpn : ConnectionType::Broadband;
    if (has(type, "PPPOE") || has(name, "POET ADAPTER") || !ntFamily) {
        return ConnectionType::Broadband;
    }
    if (has(type, "IRDA")) return ConnectionType::Irda;
    if (has(type, "PARALLEL")) return ConnectionType::Parallel;
    return ConnectionType::Other;
}

namespace {

// The decimal number at `pos` up to the next dot, or -1 when there is none.
int Octet(std::string_view text, std::size_t& pos) {
    int value = -1;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = (value < 0 ? 0 : value) * 10 + (text[pos] - '0');
        if (value > 255) return -1;
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.') ++pos;
    return value;
}

}  // namespace

bool IsPrivateAddress(std::string_view address) {
    std::size_t pos = 0;
    const int a = Octet(address, pos);
    const int b = Octet(address, pos);
    return a == 10 || a == 127 || (a == 169 && b == 254) || (a == 172 && b >= 16 && b <= 31) ||
           (a == 192 && b == 168);
}

}  // namespace hourlink
