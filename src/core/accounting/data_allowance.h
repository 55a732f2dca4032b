// The monthly data allowance: how it is stored (whole megabytes of 10^6
// bytes, under Property/DataLimit), how the options show and take it (in
// gigabytes of 10^9 bytes, as providers bill), and how amounts of data are
// written for the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/settings_store.h"

namespace hourlink {

inline constexpr std::int64_t kBytesPerMegabyte = 1'000'000;
// The largest allowance the options take: 10,000 GB.
inline constexpr int kMaxDataLimitGigabytes = 10'000;

// The line of the tray tip that shows the month's data against the allowance.
inline constexpr std::wstring_view kTipDataLine = L"\r\n流量:";

// The allowance in bytes; 0 when none is set.
std::int64_t ReadDataAllowance(SettingsStore& store);

// An amount of data in the unit that suits it, in units of 1000: "850 KB",
// "12.3 MB", "1.23 GB", and from 100 GB on one decimal ("123.4 GB").
std::wstring FormatDataAmount(std::int64_t bytes);

// Megabytes written as gigabytes for the options' field, with as many
// decimals as the value needs (at most three): "0", "2", "1.5", "0.002".
std::wstring GigabytesText(int megabytes);

// The options' field: gigabytes from 0 to 10,000 with at most three decimals
// (a megabyte), blanks around allowed. Nothing for any other text.
std::optional<int> ParseGigabytes(std::wstring_view text);

// The message that refuses a text ParseGigabytes does not take.
std::wstring GigabytesRangeMessage();

}  // namespace hourlink
