#include "core/base/session_record.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/base/byte_order.h"
#include "core/base/gbk.h"

namespace hourlink {

namespace {

// A fixed-width text field read up to its first NUL (or its whole width).
std::string_view FieldText(const char* field, std::size_t width) {
    const void* nul = std::memchr(field, 0, width);
    return {field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : width};
}

}  // namespace

std::string_view SessionRecord::Name() const {
    return FieldText(name.data(), std::min(name.size(), kMaxNameBytes + 1));
}

std::string_view SessionRecord::ClientIp() const {
    return FieldText(clientIp.data(), clientIp.size());
}

void SessionRecord::SetName(std::string_view gbk) {
    name.fill(0);
    const std::size_t n = GbkPrefixLength(gbk, kMaxNameBytes);
    std::memcpy(name.data(), gbk.data(), n);
}

void SessionRecord::SetClientIp(std::string_view ip) {
    clientIp.fill(0);
    const std::size_t n = std::min(ip.size(), kMaxClientIpChars);
    std::memcpy(clientIp.data(), ip.data(), n);
}

void SessionRecord::Complete(std::int32_t seconds) {
    duration = seconds;
    end = start + static_cast<std::uint32_t>(seconds);
    billed = BilledSeconds(seconds);
}

std::int32_t BilledSeconds(std::int32_t duration) {
    const std::int64_t d = duration;
    const std::int64_t r = d % 60;
    std::int64_t billed = r < 2 ? d - r : d - r + 60;
    // Rounding up near the top of the range would not fit: keep the largest
    // whole number of minutes that does, so billed time is always whole minutes.
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    billed = std::min(billed, kMax - kMax % 60);
    return static_cast<std::int32_t>(billed);
}

RecordBytes EncodeRecord(const SessionRecord& r) {
    namespace L = record_layout;
    RecordBytes b{};
    b[L::kMarker] = r.marker;
    StoreU32(&b[L::kStart], r.start);
    StoreU32(&b[L::kEnd], r.end);
    StoreI32(&b[L::kDuration], r.duration);
    std::memcpy(&b[L::kName], r.name.data(), L::kNameWidth);
    b[L::kName + kMaxNameBytes + 1] = 0;  // byte 39 is always 0
    StoreI32(&b[L::kBilled], r.billed);
    StoreU32(&b[L::kLineSpeed], r.lineSpeed);
    b[L::kType] = r.type;
    std::memcpy(&b[L::kClientIp], r.clientIp.data(), L::kClientIpWidth);
    StoreU32(&b[L::kBytesReceived], r.bytesReceived);
    StoreU16(&b[L::kReserved72], static_cast<std::uint16_t>(r.reserved72));
    StoreU32(&b[L::kBytesSent], r.bytesSent);
    b[L::kContinuation] = r.continuation;
    return b;
}

SessionRecord DecodeRecord(const std::uint8_t* b) {
    namespace L = record_layout;
    SessionRecord r;
    r.marker = b[L::kMarker];
    r.start = LoadU32(&b[L::kStart]);
    r.end = LoadU32(&b[L::kEnd]);
    r.duration = LoadI32(&b[L::kDuration]);
    std::memcpy(r.name.data(), &b[L::kName], L::kNameWidth);
    r.billed = LoadI32(&b[L::kBilled]);
    r.lineSpeed = LoadU32(&b[L::kLineSpeed]);
    r.type = b[L::kType];
    std::memcpy(r.clientIp.data(), &b[L::kClientIp], L::kClientIpWidth);
    r.bytesReceived = LoadU32(&b[L::kBytesReceived]);
    r.reserved72 = static_cast<std::int16_t>(LoadU16(&b[L::kReserved72]));
    r.bytesSent = LoadU32(&b[L::kBytesSent]);
    r.continuation = b[L::kContinuation];
    return r;
}

HeaderBytes EncodeHeader(const RecordFileHeader& h) {
    namespace L = header_layout;
    HeaderBytes b{};
    std::memcpy(&b[L::kTag], h.tag.data(), 4);
    StoreU32(&b[L::kTime], h.time);
    b[L::kPurgeCountdown] = h.purgeCountdown;
    StoreI32(&b[L::kDropCount], h.dropCount);
    StoreU32(&b[L::kRecordCount], h.recordCount);
    StoreU32(&b[L::kHeaderSizeField], h.headerSize);
    StoreU32(&b[L::kRecordSizeField], h.recordSize);
    return b;
}

RecordFileHeader DecodeHeader(const std::uint8_t* b) {
    namespace L = header_layout;
    RecordFileHeader h;
    std::memcpy(h.tag.data(), &b[L::kTag], 4);
    h.time = LoadU32(&b[L::kTime]);
    h.purgeCountdown = b[L::kPurgeCountdown];
    h.dropCount = LoadI32(&b[L::kDropCount]);
    h.recordCount = LoadU32(&b[L::kRecordCount]);
    h.headerSize = LoadU32(&b[L::kHeaderSizeField]);
    h.recordSize = LoadU32(&b[L::kRecordSizeField]);
    return h;
}

}  // namespace hourlink
