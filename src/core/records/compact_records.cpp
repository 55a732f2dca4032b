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
    return {r.start, r.duration, r.bytesReceived, r.bytesSent, address.value_or(0), lastShared_};
}

std::size_t CompactRecords::HeldBytes() const {
    // A map or hash node costs about its value and four pointers.
    constexpr std::size_t kNode = 4 * sizeof(void*);
    return records_.capacity() * sizeof(Packed) +
           shared_.size() * (sizeof(Shared) + sizeof(std::uint32_t) + kNode + sizeof(void*)) +
           unusual_.size() * (sizeof(std::size_t) + sizeof(EndAndBilled) + kNode);
}

void CompactRecords::PushBack(const SessionRecord& record) {
    records_.push_back(Pack(record, records_.size()));
}

void CompactRecords::Set(std::size_t i, const SessionRecord& record) {
    records_[i] = Pack(record, i);
}

SessionRecord CompactRecords::operator[](std::size_t i) const {
    const Packed& p = records_[i];
    const Shared& shared = *shared_[p.shared];
    SessionRecord r;
    r.marker = shared.marker;
    r.start = p.start;
    r.duration = p.duration;
    if (shared.completedAsUsual) {
        r.end = p.start + static_cast<std::uint32_t>(p.duration);
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
