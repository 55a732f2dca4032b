// The record table's storage: a long history in about a fifth of its file's
// size. What records share (connection name, type, line speed, marker,
// continuation, the reserved field) is kept once and referred to. A client
// address in its plain dotted form ("10.0.0.1") is kept as its four numbers,
// any other content of that field with the shared part. The end and billed
// time are not kept when they follow from the start and duration, as they do
// for every completed session; a record whose do not (one still running, or a
// damaged one) keeps them aside. Every start is kept as it is, for the scans
// that read nothing else; the rest of a record is packed with variable-length
// numbers in blocks of kBlock, each address as its difference from the one
// before, so a session costs a few bytes beyond its start. The last records,
// which a running session rewrites, stay unpacked. A record reads back byte
// for byte as it was stored, including whatever follows the NUL of its texts.
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
    // Records packed together; reading one unpacks at most this many.
    static constexpr std::size_t kBlock = 16;

    CompactRecords() = default;
    // Moves keep the shared parts where they are; a copy would not.
    CompactRecords(CompactRecords&&) = default;
    CompactRecords& operator=(CompactRecords&&) = default;
    CompactRecords(const CompactRecords&) = delete;
    CompactRecords& operator=(const CompactRecords&) = delete;

    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    // The record at `i` (below size()), whole.
    SessionRecord operator[](std::size_t i) const;
    // Only its start, for scans that look at nothing else.
    std::uint32_t StartAt(std::size_t i) const { return starts_[i]; }
    // Calls `visit(i, record)` for the records from `first` up to `end`
    // (at most size()) in order, unpacking each block once: a scan's way,
    // where operator[] would unpack a block's front again for every record.
    template <typename Visit>
    void ForEach(std::size_t first, std::size_t end, Visit&& visit) const {
        Block block;
        for (std::size_t i = first; i < end; ++i) {
            if (i >= PackedCount()) {
                visit(i, Whole(i, recent_[i - PackedCount()]));
                continue;
            }
            if (i == first || i % kBlock == 0) Unpack(i / kBlock, kBlock, block);
            visit(i, Whole(i, block[i % kBlock]));
        }
    }

    std::size_t Capacity() const { return starts_.capacity(); }
    void Reserve(std::size_t count);
    void PushBack(const SessionRecord& record);
    // Overwrites the record at `i` (below size()).
    void Set(std::size_t i, const SessionRecord& record);

    // The number of distinct shared parts held; a history of one connection
    // has one or two.
    std::size_t SharedCount() const { return shared_.size(); }
    // About how many bytes of memory the records take: the room reserved for
    // starts included, the packed bytes as far as they are used.
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
    // A record's own figures besides its start.
    struct Packed {
        std::int32_t duration = 0;
        std::uint32_t bytesReceived = 0;
        std::uint32_t bytesSent = 0;
        std::uint32_t address = 0;  // the dotted address's numbers, first one highest
        std::uint32_t shared = 0;   // index into shared_
    };
    struct EndAndBilled {
        std::uint32_t end;
        std::int32_t billed;
    };
    using Block = std::array<Packed, kBlock>;

    // The index of `shared` in shared_, added when it is new.
    std::uint32_t FindShared(const Shared& shared);
    // Packs `record` as the one at `index`, keeping its end and billed time
    // aside when they do not follow from its start and duration.
    Packed Pack(const SessionRecord& record, std::size_t index);
    // The record at `i`, whose own figures are `packed`.
    SessionRecord Whole(std::size_t i, const Packed& packed) const;
    // The first `count` records of the packed block `block`.
    void Unpack(std::size_t block, std::size_t count, Block& out) const;
    // Appends `count` records to `bytes`, packed as one block.
    static void PackBlock(const Packed* records, std::size_t count,
                          std::vector<std::uint8_t>& bytes);
    std::size_t PackedCount() const { return blockStarts_.size() * kBlock; }

    std::vector<std::uint32_t> starts_;
    // The records below PackedCount(), block after block, and where each
    // block begins.
    std::vector<std::uint8_t> packed_;
    std::vector<std::uint32_t> blockStarts_;
    // The records from PackedCount() on; packed a block at a time once
    // more than two blocks' worth wait.
    std::vector<Packed> recent_;
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
