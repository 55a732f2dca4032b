// The record table's storage: 24 bytes a record instead of the file's 84, so a
// long history costs less than a third of its file in memory. What records
// share (connection name, type, line speed, marker, continuation, the reserved
// field) is kept once and referred to. A client address in its plain dotted
// form ("10.0.0.1") is kept as its four numbers, any other content of that
// field with the shared part. The end and billed time are not kept when they
// follow from the start and duration, as they do for every completed session;
// a record whose do not (one still running, or a damaged one) keeps them
// aside. A record reads back byte for byte as it was stored, including
// whatever follows the NUL of its texts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
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
    // About how many bytes of memory the records take, spare room included.
    std::size_t HeldBytes() const;

  private:
    struct Shared {
        std::array<char, record_layout::kNameWidth> name{};
        // All zeros when the address is kept as numbers.
        std::array<char, record_layout::kClientIpWidth> clientIp{};
        bool numericAddress = false;
        // End and billed time follow from start and duration.
        bool completedAsUsual = false;
        std::uint32_t lineSpeed = 0;
        std::uint8_t marker = 0;
        std::uint8_t type = 0;
        std::uint8_t continuation = 0;
        std::int16_t reserved72 = 0;
        auto operator<=>(const Shared&) const = default;
    };
    struct Packed {
        std::uint32_t start;
        std::int32_t duration;
        std::uint32_t bytesReceived;
        std::uint32_t bytesSent;
        std::uint32_t address;  // the dotted address's numbers, first one highest
        std::uint32_t shared;   // index into shared_
    };
    static_assert(sizeof(Packed) == 24);
    struct EndAndBilled {
        std::uint32_t end;
        std::int32_t billed;
    };

    // The index of `shared` in shared_, added when it is new.
    std::uint32_t FindShared(const Shared& shared);
    // Packs `record` as the one at `index`, keeping its end and billed time
    // aside when they do not follow from its start and duration.
    Packed Pack(const SessionRecord& record, std::size_t index);

    std::vector<Packed> records_;
    std::unordered_map<std::size_t, EndAndBilled> unusual_;
    // Each shared part once; shared_ points into the map's nodes, which stay put.
    std::map<Shared, std::uint32_t> sharedIndex_;
    std::vector<const Shared*> shared_;
    // The shared part packed last: a run of sessions of one connection finds
    // it again without a search.
    std::uint32_t lastShared_ = 0;
};

// The four numbers of a client address field that holds exactly their plain
// dotted form (no leading zeros, NULs after it), first number highest; nothing
// for any other content.
std::optional<std::uint32_t> PlainDottedAddress(
    const std::array<char, record_layout::kClientIpWidth>& field);

}  // namespace hourlink
