#include "core/records/compact_records.h"

namespace hourlink {

namespace {

using AddressField = std::array<char, record_layout::kClientIpWidth>;

AddressField DottedText(std::uint32_t address) {
    AddressField field{};
    std::size_t at = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned part = (address >> shift) & 0xFF;
        if (part >= 100) field[at++] = static_cast<char>('0' + part / 100);
        if (part >= 10) field[at++] = static_cast<char>('0' + part / 10 % 10);
        field[at++] = static_cast<char>('0' + part % 10);
        if (shift > 0) field[at++] = '.';
    }
    return field;
}

// Numbers of seven bits a byte, low bits first; a byte with its top bit set
// has more after it.
void PutNumber(std::uint32_t value, std::vector<std::uint8_t>& bytes) {
    while (value >= 0x80) {
        bytes.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
}

std::uint32_t TakeNumber(const std::uint8_t*& at) {
    std::uint32_t value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = *at++;
        value |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) return value;
    }
}

// A duration below 0 (a damaged record) in a few bytes too.
std::uint32_t Folded(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return (bits << 1) ^ (value < 0 ? 0xFFFFFFFFu : 0u);
}

std::int32_t Unfolded(std::uint32_t bits) {
    return static_cast<std::int32_t>((bits >> 1) ^ (0u - (bits & 1)));
}

}  // namespace

std::optional<std::uint32_t> PlainDottedAddress(const AddressField& field) {
    std::uint32_t address = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at == field.size() || field[at++] != '.')) return std::nullopt;
        unsigned value = 0;
        std::size_t digits = 0;
        while (at < field.size() && field[at] >= '0' && field[at] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(field[at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255) return std::nullopt;
        address = address << 8 | value;
    }
    // Formatting the numbers again must give the field back exactly: that rules
    // out leading zeros and anything after the text, NULs included.
    if (DottedText(address) != field) return std::nullopt;
    return address;
}

std::uint32_t CompactRecords::FindShared(const Shared& shared) {
    // A history has a few connections, so a look through them all is
    // quicker than the map's ordered search.
    constexpr std::size_t kLookedThrough = 16;
    if (!shared_.empty() && *shared_[lastShared_] == shared) return lastShared_;
    if (shared_.size() <= kLookedThrough) {
        for (std::size_t i = 0; i < shared_.size(); ++i) {
            if (*shared_[i] == shared) return static_cast<std::uint32_t>(i);
        }
    }
    const auto [it, added] =
        sharedIndex_.try_emplace(shared, static_cast<std::uint32_t>(shared_.size()));
    if (added) shared_.push_back(&it->first);
    return it->second;
}

CompactRecords::Packed CompactRecords::Pack(const SessionRecord& r, std::size_t index) {
    Shared shared;
    shared.name = r.name;
    shared.lineSpeed = r.lineSpeed;
    shared.completedAsUsual = r.end == r.start + static_cast<std::uint32_t>(r.duration) &&
                              r.billed == BilledSeconds(r.duration);
    if (shared.completedAsUsual) {
        if (!unusual_.empty()) unusual_.erase(index);
    } else {
        unusual_[index] = {r.end, r.billed};
    }
    shared.marker = r.marker;
    shared.type = r.type;
    shared.continuation = r.continuation;
    shared.reserved72 = r.reserved72;
    const std::optional<std::uint32_t> address = PlainDottedAddress(r.clientIp);
    if (address) {
        shared.numericAddress = true;
    } else {
        shared.clientIp = r.clientIp;
    }
    lastShared_ = FindShared(shared);
    return {r.duration, r.bytesReceived, r.bytesSent, address.value_or(0), lastShared_};
}

void CompactRecords::PackBlock(const Packed* records, std::size_t count,
                               std::vector<std::uint8_t>& bytes) {
    // Sessions of one connection mostly keep its address, or change its
    // last numbers: packed as the bits that differ from the one before.
    Packed before;
    for (std::size_t i = 0; i < count; ++i) {
        const Packed& p = records[i];
        PutNumber(Folded(p.duration), bytes);
        PutNumber(p.bytesReceived, bytes);
        PutNumber(p.bytesSent, bytes);
        PutNumber(p.address ^ before.address, bytes);
        PutNumber(p.shared ^ before.shared, bytes);
        before = p;
    }
}

void CompactRecords::Unpack(std::size_t block, std::size_t count, Block& out) const {
    const std::uint8_t* at = packed_.data() + blockStarts_[block];
    Packed before;
    for (std::size_t i = 0; i < count; ++i) {
        Packed& p = out[i];
        p.duration = Unfolded(TakeNumber(at));
        p.bytesReceived = TakeNumber(at);
        p.bytesSent = TakeNumber(at);
        p.address = TakeNumber(at) ^ before.address;
        p.shared = TakeNumber(at) ^ before.shared;
        before = p;
    }
}

std::size_t CompactRecords::HeldBytes() const {
    // A map or hash node costs about its value and four pointers.
    constexpr std::size_t kNode = 4 * sizeof(void*);
    return starts_.capacity() * sizeof(std::uint32_t) + packed_.size() +
           blockStarts_.capacity() * sizeof(std::uint32_t) + recent_.capacity() * sizeof(Packed) +
           shared_.size() * (sizeof(Shared) + sizeof(std::uint32_t) + kNode + sizeof(void*)) +
           unusual_.size() * (sizeof(std::size_t) + sizeof(EndAndBilled) + kNode);
}

void CompactRecords::Reserve(std::size_t count) {
    starts_.reserve(count);
    blockStarts_.reserve(count / kBlock + 1);
    // Room for what a record usually packs into: the packed bytes then
    // seldom grow by steps, whose freed buffers would stay in the heap.
    // Room not written to is not resident.
    constexpr std::size_t kUsualPackedBytes = 12;
    packed_.reserve(count * kUsualPackedBytes);
}

void CompactRecords::PushBack(const SessionRecord& record) {
    recent_.push_back(Pack(record, starts_.size()));
    starts_.push_back(record.start);
    if (recent_.size() < 2 * kBlock) return;
    // The older block of the two waiting is packed; the newer stays as it is.
    blockStarts_.push_back(static_cast<std::uint32_t>(packed_.size()));
    PackBlock(recent_.data(), kBlock, packed_);
    recent_.erase(recent_.begin(), recent_.begin() + kBlock);
}

void CompactRecords::Set(std::size_t i, const SessionRecord& record) {
    starts_[i] = record.start;
    const Packed packed = Pack(record, i);
    if (i >= PackedCount()) {
        recent_[i - PackedCount()] = packed;
        return;
    }
    // An older record: its block is packed again in its place, and the
    // blocks after it move by the difference.
    const std::size_t block = i / kBlock;
    Block records;
    Unpack(block, kBlock, records);
    records[i % kBlock] = packed;
    std::vector<std::uint8_t> bytes;
    PackBlock(records.data(), kBlock, bytes);
    const std::size_t begin = blockStarts_[block];
    const std::size_t end =
        block + 1 < blockStarts_.size() ? blockStarts_[block + 1] : packed_.size();
    const auto shift = static_cast<std::int64_t>(bytes.size()) - static_cast<std::int64_t>(end - begin);
    packed_.erase(packed_.begin() + static_cast<std::ptrdiff_t>(begin),
                  packed_.begin() + static_cast<std::ptrdiff_t>(end));
    packed_.insert(packed_.begin() + static_cast<std::ptrdiff_t>(begin), bytes.begin(), bytes.end());
    for (std::size_t b = block + 1; b < blockStarts_.size(); ++b) {
        blockStarts_[b] = static_cast<std::uint32_t>(blockStarts_[b] + shift);
    }
}

SessionRecord CompactRecords::operator[](std::size_t i) const {
    if (i >= PackedCount()) return Whole(i, recent_[i - PackedCount()]);
    Block records;
    Unpack(i / kBlock, i % kBlock + 1, records);
    return Whole(i, records[i % kBlock]);
}

SessionRecord CompactRecords::Whole(std::size_t i, const Packed& p) const {
    const Shared& shared = *shared_[p.shared];
    SessionRecord r;
    r.marker = shared.marker;
    r.start = starts_[i];
    r.duration = p.duration;
    if (shared.completedAsUsual) {
        r.end = r.start + static_cast<std::uint32_t>(p.duration);
        r.billed = BilledSeconds(p.duration);
    } else {
        const EndAndBilled& aside = unusual_.at(i);
        r.end = aside.end;
        r.billed = aside.billed;
    }
    r.name = shared.name;
    r.lineSpeed = shared.lineSpeed;
    r.type = shared.type;
    r.clientIp = shared.numericAddress ? DottedText(p.address) : shared.clientIp;
    r.bytesReceived = p.bytesReceived;
    r.reserved72 = shared.reserved72;
    r.bytesSent = p.bytesSent;
    r.continuation = shared.continuation;
    return r;
}

}  // namespace hourlink
