// The traffic of the running session, sampled once a second by the session
// tick: from the RAS statistics of a RAS connection on the NT family, else from
// the system's interface table. The samples give the byte and speed figures of
// the status bar and the session record, the transfer rates of the drop
// window, and the idle counter behind the idle disconnect.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/net/network_info.h"
#include "core/settings/settings_store.h"

namespace hourlink {

// What the session record keeps of the traffic when the session ends.
struct TrafficFigures {
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    std::uint32_t speed = 0;  // bits per second; RAS connections only
    friend bool operator==(const TrafficFigures&, const TrafficFigures&) = default;
};

// What one tick shows and decides.
struct TrafficTick {
    bool sampled = false;       // byte counts could be read
    std::wstring logText;       // a line for the log pane, or empty
    std::wstring receivedPane;  // "收到%u", "发送%u", "%ukbps"; empty: leave the pane
    std::wstring sentPane;
    std::wstring speedPane;
    std::wstring receivedRate;  // "%.2f" kilobytes a second; empty: no rate this tick
    std::wstring sentRate;
    int idleSeconds = 0;
    std::wstring messagePane;  // status pane 0; empty: leave it
    bool hangUp = false;       // idle for the minutes the user chose
};

class TrafficMeter {
  public:
    TrafficMeter(NetworkInfo& network, SettingsStore& settings);

    // One tick of a timed session. `rasConnection` is the RAS handle of the
    // session (0 for a LAN or the PPPoE client's link); `connectionName` what
    // the status bar calls it.
    TrafficTick Sample(bool ntFamily, RasHandle rasConnection, std::wstring_view connectionName);

    // A session began or ended: no base, no idle time, no figures.
    void Reset();

    // The session's traffic so far, for its record.
    const TrafficFigures& Figures() const { return figures_; }
    // Bytes received and sent in the session so far, in full (the record's
    // fields hold at most 2^32 - 1 each).
    std::int64_t SessionBytes() const {
        return static_cast<std::int64_t>(rasReceived_ + rasSent_ + sessionReceived_ +
                                         sessionSent_);
    }
    int IdleSeconds() const { return idle_; }

  private:
    bool SampleRas(RasHandle connection, TrafficTick& tick, std::uint32_t& received,
                   std::uint32_t& sent);
    bool SampleInterfaces(std::wstring_view connectionName, std::uint32_t& received,
                          std::uint32_t& sent);
    // The counted interfaces' rows, read one by one; false when one is gone.
    bool SampleCounted(std::uint32_t& received, std::uint32_t& sent);
    void UpdateRates(TrafficTick& tick, std::uint32_t received, std::uint32_t sent,
                     bool accumulate);
    void CheckIdle(TrafficTick& tick, std::wstring_view connectionName);

    NetworkInfo& network_;
    SettingsStore& settings_;
    std::uint32_t previousReceived_ = 0;  // 0: no sample yet
    std::uint32_t previousSent_ = 0;
    int idle_ = 0;
    std::uint32_t ticks_ = 0;
    // The interfaces the session's traffic is counted on, chosen from the
    // whole table at its first sample; later ticks read only their rows.
    std::vector<std::uint32_t> counted_;
    // Session totals of the interface-table counters, which count from when
    // the interface came up rather than from the session's start.
    std::uint64_t sessionReceived_ = 0;
    std::uint64_t sessionSent_ = 0;
    // RAS's own 32-bit totals at the last sample, and the session's in 64 bits.
    std::uint32_t rasLastReceived_ = 0;
    std::uint32_t rasLastSent_ = 0;
    std::uint64_t rasReceived_ = 0;
    std::uint64_t rasSent_ = 0;
    TrafficFigures figures_;
};

}  // namespace hourlink
