// The record table's storage: 36 bytes a record instead of the file's 84, so a
// long history costs less than half its file in memory. The numbers are kept
// as they are. What records share (connection name, type, marker, continuation,
// the reserved field) is kept once and referred to; a client address in its
// plain dotted form ("10.0.0.1") is kept as its four numbers, any other content
// of that field with the shared part. A record reads back byte for byte as it
// was stored, including whatever follows the NUL of its texts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "core/base/session_record.h"

namespace hourlink {

class CompactRecords {
  public:
    CompactRecords() = default;
    // Moves keep the shared parts where they are; a copy would not.
    CompactRecords(CompactRecords&&) = default;
    CompactRecords& operator=(CompactRecords&&) = default;
    CompactRecords(const CompactRecords&) = delete;
    CompactRecords& operator=(const CompactRecords&) = delete;

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    // The record at `i` (below size()), whole.
    SessionRecord operator[](std::size_t i) const;
    // Only its start, for scans that look at nothing else.
    std::uint32_t StartAt(std::size_t i) const { return records_[i].start; }

    std::size_t Capacity() const { return records_.capacity(); }
    void Reserve(std::size_t count) { records_.reserve(count); }
    void PushBack(const SessionRecord& record);
    // Overwrites the record at `i` (below size()).
    void Set(std::size_t i, const SessionRecord& record);

    // The number of distinct shared parts held; a history of one connection
    // has one or two.
    std::size_t SharedCount() const { return shared_.size(); }

  private:
    struct Shared {
        std::array<char, record_layout::kNameWidth> name{};
        // All zeros when the address is kept as numbers.
        std::array<char, record_layout::kClientIpWidth> clientIp{};
        bool numericAddress = false;
        std::uint8_t marker = 0;
        std::uint8_t type = 0;
        std::uint8_t continuation = 0;
        std::int16_t reserved72 = 0;
        auto operator<=>(const Shared&) const = default;
    };
    struct Packed {
        std::uint32_t start;
        std::uint32_t end;
        std::int32_t duration;
        std::int32_t billed;
        std::uint32_t lineSpeed;
        std::uint32_t bytesReceived;
        std::uint32_t bytesSent;
        std::uint32_t address;  // the dotted address's numbers, first one highest
        std::uint32_t shared;   // index into shared_
    };
    static_assert(sizeof(Packed) == 36);

    Packed Pack(const SessionRecord& record);

    std::vector<Packed> records_;
    // Each shared part once; shared_ points into the map's nodes, which stay put.
    std::map<Shared, std::uint32_t> sharedIndex_;
    std::vector<const Shared*> shared_;
};

// The four numbers of a client address field that holds exactly their plain
// dotted form (no leading zeros, NULs after it), first number highest; nothing
// for any other content.
std::optional<std::uint32_t> PlainDottedAddress(
    const std::array<char, record_layout::kClientIpWidth>& field);

}  // namespace hourlink
