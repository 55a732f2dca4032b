// The record table: the in-memory copy of every session record of the record
// file, in file order. The watcher thread loads it from the file; the UI thread
// appends the sessions that begin during the run, completes them and reads the
// table for the history list and the totals. One mutex guards it, so any thread
// may call any member.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "core/base/session_record.h"
#include "core/records/compact_records.h"

namespace hourlink {

class RecordTable {
  public:
    // Room kept beyond the loaded records for the sessions of this run. The
    // table grows past it when a run has more sessions than that.
    static constexpr std::size_t kSpareRecords = 50;

    RecordTable() = default;
    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

    // Replaces the whole contents, keeping room for kSpareRecords more.
    void Replace(const std::vector<SessionRecord>& records);
    void Replace(CompactRecords records);

    // Adds a record at the end and returns its index. Grows the storage when
    // the spare room is used up.
    std::size_t Append(const SessionRecord& record);

    // Overwrites the record at `index`; false (and nothing changed) when there is
    // no such record.
    bool Update(std::size_t index, const SessionRecord& record);

    // A copy of the record at `index`, or nothing when there is no such record.
    std::optional<SessionRecord> Get(std::size_t index) const;

    // A copy of the last record, or nothing when the table is empty.
    std::optional<SessionRecord> Last() const;

    std::size_t Size() const;
    // The number of records the table holds without allocating again.
    std::size_t Capacity() const;
    // About how many bytes of memory the records take.
    std::size_t HeldBytes() const;

    // Runs `reader` over all records, in file order, while holding the lock: no
    // copy is made, so a scan of a long history costs one pass over memory. The
    // records are valid only during the call; `reader` must not call back into
    // the table (the lock is not recursive). Returns what `reader` returns.
    template <typename Reader>
    decltype(auto) Read(Reader&& reader) const {
        std::lock_guard lock(mutex_);
        return reader(static_cast<const CompactRecords&>(records_));
    }

    // A copy of all records.
    std::vector<SessionRecord> Snapshot() const;

  private:
    mutable std::mutex mutex_;
    CompactRecords records_;
};

}  // namespace hourlink
