#include "core/accounting/traffic.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/net/connection_type.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

// A second with fewer bytes than this in both directions is an idle one.
constexpr std::uint32_t kActiveBytes = 100;
// Interface counters are 32-bit: a step larger than half their range is a
// counter that was reset (or went backwards), not traffic.
constexpr std::uint32_t kLargestStep = 0x80000000u;
constexpr std::uint32_t kPppInterface = 23;
constexpr std::uint32_t kEthernetInterface = 6;
constexpr std::uint32_t kWifiInterface = 71;  // IF_TYPE_IEEE80211

std::wstring Text(const wchar_t* format, unsigned value) {
    wchar_t buffer[48];
    std::swprintf(buffer, 48, format, value);
    return buffer;
}

std::wstring Rate(std::uint32_t bytes) {
    wchar_t buffer[48];
    std::swprintf(buffer, 48, L"%.2f", bytes * 0.001);
    return buffer;
}

std::uint32_t Step(std::uint32_t now, std::uint32_t before) {
    const std::uint32_t step = now - before;  // wraps round with the counter
    return step >= kLargestStep ? 0 : step;
}

std::uint32_t Saturated(std::uint64_t value) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

TrafficMeter::TrafficMeter(NetworkInfo& network, SettingsStore& settings)
    : network_(network), settings_(settings) {}

void TrafficMeter::Reset() {
    previousReceived_ = 0;
    previousSent_ = 0;
    idle_ = 0;
    ticks_ = 0;
    counted_.clear();
    sessionReceived_ = 0;
    sessionSent_ = 0;
    rasLastReceived_ = rasLastSent_ = 0;
    rasReceived_ = rasSent_ = 0;
    figures_ = {};
}

TrafficTick TrafficMeter::Sample(bool ntFamily, RasHandle rasConnection,
                                 std::wstring_view connectionName) {
    TrafficTick tick;
    ++ticks_;
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    const bool ras = ntFamily && rasConnection != 0;
    tick.sampled = ras ? SampleRas(rasConnection, tick, received, sent)
                       : SampleInterfaces(connectionName, received, sent);
    // A second without a reading is no sample: it neither counts as idle nor
    // moves the base.
    if (!tick.sampled) return tick;
    UpdateRates(tick, received, sent, !ras);
    tick.receivedPane = Text(L"收到%u", figures_.received);
    tick.sentPane = Text(L"发送%u", figures_.sent);
    if (ras) tick.speedPane = Text(L"%ukbps", figures_.speed / 1000);
    CheckIdle(tick, connectionName);
    return tick;
}

bool TrafficMeter::SampleRas(RasHandle connection, TrafficTick& tick, std::uint32_t& received,
                             std::uint32_t& sent) {
    // The session's own connection, whatever else is up.
    ConnectionStatistics statistics;
    if (network_.GetConnectionStatistics(connection, statistics) != 0) {
        tick.logText = L"调用ConnectionStatistics函数失败\r\n";
        return false;
    }
    received = statistics.received;
    sent = statistics.sent;
    // RAS counts from the connection's start in 32 bits, which a fast link
    // runs past in a long session: each second's step (modulo 2^32) is added
    // up in 64 bits, and the record gets as much as its field holds.
    rasReceived_ += static_cast<std::uint32_t>(received - rasLastReceived_);
    rasSent_ += static_cast<std::uint32_t>(sent - rasLastSent_);
    rasLastReceived_ = received;
    rasLastSent_ = sent;
    figures_ = {Saturated(rasReceived_), Saturated(rasSent_), statistics.speed};
    return true;
}

bool TrafficMeter::SampleCounted(std::uint32_t& received, std::uint32_t& sent) {
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    for (std::uint32_t index : counted_) {
        InterfaceRow row;
        if (network_.Platform().GetInterfaceRow(index, row) != 0) return false;
        in += row.inOctets;
        out += row.outOctets;
    }
    received = in;
    sent = out;
    return true;
}

bool TrafficMeter::SampleInterfaces(std::wstring_view connectionName, std::uint32_t& received,
                                    std::uint32_t& sent) {
    if (!counted_.empty()) {
        if (SampleCounted(received, sent)) return true;
        // An interface went away: the table is read and the choice made
        // again, and the new sum is only the next samples' base.
        counted_.clear();
        previousReceived_ = previousSent_ = 0;
    }
    std::vector<InterfaceRow> rows;
    if (network_.Platform().GetInterfaceTable(rows) != 0 || rows.empty()) return false;
    const InterfaceRow& first = rows.front();
    std::string name;
    for (wchar_t c : connectionName) name += c < 0x80 ? static_cast<char>(c) : '?';
    const bool onePppRow = first.type == kPppInterface ||
                           Contains(UpperGbk(first.description), "PPP ADAPTER") ||
                           (first.type == kEthernetInterface &&
                            Contains(UpperGbk(name), NetworkInfo::kPppoeAdapterMark));
    if (onePppRow) {
        received = first.inOctets;
        sent = first.outOctets;
        if (first.index != 0) counted_ = {first.index};
        return true;
    }
    // The devices' own rows, cable and Wi-Fi: not the filter layers stacked on
    // them, which count the same bytes again, nor virtual adapters.
    std::vector<std::uint32_t> counted;
    for (const InterfaceRow& row : rows) {
        const bool device = row.type == kEthernetInterface || row.type == kWifiInterface;
        if (!device || row.filter || !row.hardware) continue;
        received += row.inOctets;
        sent += row.outOctets;
        counted.push_back(row.index);
    }
    // Rows without an index cannot be read alone: the table it stays.
    if (std::find(counted.begin(), counted.end(), 0u) == counted.end()) counted_ = counted;
    return true;
}

void TrafficMeter::UpdateRates(TrafficTick& tick, std::uint32_t received, std::uint32_t sent,
                               bool accumulate) {
    if (previousReceived_ == 0) {
        // The first reading only sets the base.
        previousReceived_ = received;
        previousSent_ = sent;
        return;
    }
    const std::uint32_t receivedStep = Step(received, previousReceived_);
    const std::uint32_t sentStep = Step(sent, previousSent_);
    idle_ = receivedStep < kActiveBytes && sentStep < kActiveBytes ? idle_ + 1 : 0;
    previousReceived_ = received;
    previousSent_ = sent;
    tick.receivedRate = Rate(receivedStep);
    tick.sentRate = Rate(sentStep);
    if (accumulate) {
        sessionReceived_ += receivedStep;
        sessionSent_ += sentStep;
        figures_ = {Saturated(sessionReceived_), Saturated(sessionSent_), 0};
    }
}

void TrafficMeter::CheckIdle(TrafficTick& tick, std::wstring_view connectionName) {
    tick.idleSeconds = idle_;
    if (idle_ > 3) {
        tick.messagePane = Text(L"网络已经空闲%u秒", static_cast<unsigned>(idle_));
    } else if (ticks_ % 3 == 0) {
        tick.messagePane = std::wstring(connectionName) + L"在线";
    }
    if (ReadSetting(settings_, settings::kIdleFlag) == 0) return;
    const int minutes =
        std::clamp(settings_.ReadInt(settings::kIdleMinutes.section, settings::kIdleMinutes.key, 1),
                   settings::kIdleMinutes.min, settings::kIdleMinutes.max);
    tick.hangUp = idle_ >= minutes * 60;
}

}  // namespace hourlink
