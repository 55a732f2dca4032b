// The two on-disk structures of the record file "adsl.bs": a 32-byte header and
// an array of 84-byte session records, all numbers little-endian. The structs are
// the in-memory form; Encode/Decode define the bytes field by field.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace hourlink {

inline constexpr std::size_t kRecordSize = 84;
inline constexpr std::size_t kHeaderSize = 32;

// Byte offsets of the record fields; each layout table ends exactly at the size.
namespace record_layout {
inline constexpr std::size_t kMarker = 0;
inline constexpr std::size_t kStart = 4;
inline constexpr std::size_t kEnd = 8;
inline constexpr std::size_t kDuration = 12;
inline constexpr std::size_t kName = 16;
inline constexpr std::size_t kNameWidth = 24;
inline constexpr std::size_t kBilled = 40;
inline constexpr std::size_t kLineSpeed = 44;
inline constexpr std::size_t kType = 48;
inline constexpr std::size_t kClientIp = 49;
inline constexpr std::size_t kClientIpWidth = 19;
inline constexpr std::size_t kBytesReceived = 68;
inline constexpr std::size_t kReserved72 = 72;
inline constexpr std::size_t kBytesSent = 76;
inline constexpr std::size_t kContinuation = 80;
inline constexpr std::size_t kEndPadding = 81;
static_assert(kName + kNameWidth == kBilled);
static_assert(kClientIp + kClientIpWidth == kBytesReceived);
static_assert(kEndPadding + 3 == kRecordSize);
}  // namespace record_layout

namespace header_layout {
inline constexpr std::size_t kTag = 0;
inline constexpr std::size_t kTime = 4;
inline constexpr std::size_t kPurgeCountdown = 8;
inline constexpr std::size_t kDropCount = 12;
inline constexpr std::size_t kRecordCount = 16;
inline constexpr std::size_t kHeaderSizeField = 20;
inline constexpr std::size_t kRecordSizeField = 24;
inline constexpr std::size_t kReserved28 = 28;
static_assert(kReserved28 + 4 == kHeaderSize);
}  // namespace header_layout

// The longest name stored, in bytes; the 24-byte field always keeps a NUL after it.
inline constexpr std::size_t kMaxNameBytes = 22;
inline constexpr std::size_t kMaxClientIpChars = 15;
inline constexpr std::uint8_t kRecordMarker = 0x20;

enum class Continuation : std::uint8_t {
    None = 0,
    RunningAtStart = 1,  // already up at start, start time not known from RAS
    Recovered = 2,       // completed at start-up from the backup file
};

struct SessionRecord {
    std::uint8_t marker = 0;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::int32_t duration = 0;
    std::array<char, record_layout::kNameWidth> name{};  // code page 936 bytes
    std::int32_t billed = 0;
    std::uint32_t lineSpeed = 0;
    std::uint8_t type = 0;
    std::array<char, record_layout::kClientIpWidth> clientIp{};
    std::uint32_t bytesReceived = 0;
    std::int16_t reserved72 = 0;
    std::uint32_t bytesSent = 0;
    std::uint8_t continuation = 0;

    // A record whose duration is below 1 has not been completed.
    bool IsOpen() const { return duration < 1; }
    // Bytes received and sent.
    std::int64_t Bytes() const { return std::int64_t{bytesReceived} + bytesSent; }
    std::string_view Name() const;
    std::string_view ClientIp() const;
    // Stores code page 936 bytes, cut to 22 bytes without splitting a character.
    void SetName(std::string_view gbk);
    // Stores a dotted address, at most 15 characters.
    void SetClientIp(std::string_view ip);
    // Sets duration, end and billed time from the start and a length in seconds.
    void Complete(std::int32_t seconds);

    bool operator==(const SessionRecord&) const = default;
};

struct RecordFileHeader {
    std::array<char, 4> tag{'1', '2', 0, 0};
    std::uint32_t time = 0;
    std::uint8_t purgeCountdown = 0;
    std::int32_t dropCount = 0;
    std::uint32_t recordCount = 0;
    std::uint32_t headerSize = kHeaderSize;
    std::uint32_t recordSize = kRecordSize;

    bool operator==(const RecordFileHeader&) const = default;
};

using RecordBytes = std::array<std::uint8_t, kRecordSize>;
using HeaderBytes = std::array<std::uint8_t, kHeaderSize>;

RecordBytes EncodeRecord(const SessionRecord& record);
SessionRecord DecodeRecord(const std::uint8_t* bytes);
HeaderBytes EncodeHeader(const RecordFileHeader& header);
RecordFileHeader DecodeHeader(const std::uint8_t* bytes);

// The billed time of a session: whole minutes, rounded down when fewer than 2
// seconds are left over and up otherwise, in seconds (61 -> 60, 62 -> 120).
std::int32_t BilledSeconds(std::int32_t duration);

}  // namespace hourlink
