#include "core/records/record_table.h"

#include <algorithm>
#include <utility>

namespace hourlink {

void RecordTable::Replace(const std::vector<SessionRecord>& records) {
    CompactRecords compact;
    compact.Reserve(records.size() + kSpareRecords);
    for (const SessionRecord& record : records) compact.PushBack(record);
    Replace(std::move(compact));
}

void RecordTable::Replace(CompactRecords records) {
    records.Reserve(records.size() + kSpareRecords);
    std::lock_guard lock(mutex_);
    records_ = std::move(records);
}

std::size_t RecordTable::Append(const SessionRecord& record) {
    std::lock_guard lock(mutex_);
    if (records_.size() == records_.Capacity()) {
        // Grow by half again (at least the usual spare room), so a long run
        // with many short sessions does not reallocate at every one of them.
        const std::size_t extra = std::max(kSpareRecords, records_.size() / 2);
        records_.Reserve(records_.size() + extra);
    }
    records_.PushBack(record);
    return records_.size() - 1;
}

bool RecordTable::Update(std::size_t index, const SessionRecord& record) {
    std::lock_guard lock(mutex_);
    if (index >= records_.size()) return false;
    records_.Set(index, record);
    return true;
}

std::optional<SessionRecord> RecordTable::Get(std::size_t index) const {
    std::lock_guard lock(mutex_);
    if (index >= records_.size()) return std::nullopt;
    return records_[index];
}

std::optional<SessionRecord> RecordTable::Last() const {
    std::lock_guard lock(mutex_);
    if (records_.empty()) return std::nullopt;
    return records_[records_.size() - 1];
}

std::size_t RecordTable::Size() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

std::size_t RecordTable::Capacity() const {
    std::lock_guard lock(mutex_);
    return records_.Capacity();
}

std::size_t RecordTable::HeldBytes() const {
    std::lock_guard lock(mutex_);
    return records_.HeldBytes();
}

std::vector<SessionRecord> RecordTable::Snapshot() const {
    std::lock_guard lock(mutex_);
    std::vector<SessionRecord> all;
    all.reserve(records_.size());
    records_.ForEach(0, records_.size(),
                     [&](std::size_t, const SessionRecord& record) { all.push_back(record); });
    return all;
}

}  // namespace hourlink
