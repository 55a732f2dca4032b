// CFixLenRecDoc: the record file "adsl.bs", a 32-byte header followed by 84-byte
// session records in the order the sessions began.
//
// The program has two instances. The watcher's opens the file for update (it
// alone writes: one record appended when a session begins, the same record
// rewritten when it ends) and loads the record table. The history list's opens it
// for read to learn the header. An instance is used by one thread at a time.
//
// Damaged files. The header is taken as read, but nothing read from it can make
// this class write outside the file's real data or allocate more than the file
// holds:
//  - Records are always 84 bytes: a header whose record size is anything else
//    (0, or a huge value) is read with an 84-byte stride, and the next header
//    write stores 84 again.
//  - A record count larger than the data: the table is loaded with the complete
//    records that are really there and the load reports failure, so the user is
//    told the file is damaged; reading the missing records fails.
//  - The next record is always appended right after the last complete record in
//    the file, whatever the count says, and the count becomes that record's index
//    + 1. So an append never lands past the end of the file, never overwrites a
//    complete record, and records lying beyond a too small count are kept (they
//    become counted again). A torn record at the end (fewer than 84 bytes) is not
//    a record and is overwritten.
//  - Update rewrites only a counted record that lies completely inside the file.
//  - A file shorter than a header cannot be opened (it is left as it is).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/base/clock.h"
#include "core/base/file_system.h"
#include "core/base/notifier.h"
#include "core/base/session_record.h"
#include "core/records/record_table.h"

namespace hourlink {

class CFixLenRecDoc {
  public:
    // The purge check that runs when the header's purge countdown has reached 0.
    // It gets the open document and the freshly loaded record table.
    using PurgeCheck = std::function<void(CFixLenRecDoc& doc, RecordTable& table)>;

    enum class LoadResult {
        Loaded,     // every counted record was read into the table
        Truncated,  // the file holds fewer records than counted; those it holds were loaded
        Failed,     // nothing loaded; the table keeps its previous contents
    };

    // What was found wrong with the file when it was opened for update.
    enum Defect : unsigned {
        kNoDefect = 0,
        kCountBeyondData = 1u << 0,  // the count is larger than the records in the file
        kUncountedData = 1u << 1,    // complete records lie beyond the counted ones
        kTornRecord = 1u << 2,       // the data end in the middle of a record
        kBadRecordSize = 1u << 3,    // the header's record size is not 84
        kBadHeaderSize = 1u << 4,    // the header's header size is not 32
    };

    // The error LastError() gives when a file is too short to hold a header
    // (the value of the system's "reached the end of the file").
    static constexpr int kShortHeaderError = 38;
    // ... when the file's length could not be read or the new header not written
    // (the system's read fault and write fault).
    static constexpr int kReadFailedError = 30;
    static constexpr int kWriteFailedError = 29;
    static constexpr std::uint8_t kPurgeCountdownStart = 255;

    CFixLenRecDoc(FileSystem& files, const Clock& clock, Notifier& notifier);
    CFixLenRecDoc(const CFixLenRecDoc&) = delete;
    CFixLenRecDoc& operator=(const CFixLenRecDoc&) = delete;
    ~CFixLenRecDoc();

    // Opens the file at `path` for reading and writing, denying writes to
    // others, creating it when it does not exist. An empty file gets a fresh
    // header (countdown 255, written as 254). False when the file cannot be
    // opened or is shorter than a header; LastError() then tells why.
    bool OpenForUpdate(const std::wstring& path);

    // Reads the header of the file at `path` through a read-only handle that
    // lets others read and write. True when the open succeeded and a whole header
    // was read; otherwise the header copy is left as it was. The handle is closed
    // again at once: nothing else is read through it, and an open handle would
    // stand in the way of replacing the file.
    bool OpenForRead(const std::wstring& path);

    // Closes the file; record operations fail until it is opened again. The
    // purge (record_maintenance.h) closes the writer this way to swap the new
    // file in, then opens it again with OpenForUpdate.
    void Close();

    bool IsOpenForUpdate() const { return file_ != nullptr; }
    const std::wstring& Path() const { return path_; }
    // The system's error code of the last failed open.
    int LastError() const { return lastError_; }
    // Defect bits found by the last OpenForUpdate.
    unsigned Defects() const { return defects_; }
    // The index of the record this instance appended last, if any.
    std::optional<std::uint32_t> LastAppended() const { return lastAppended_; }

    const RecordFileHeader& Header() const { return header_; }
    std::uint32_t RecordCount() const { return header_.recordCount; }

    // The file offset of record `index`.
    static std::uint64_t RecordOffset(std::uint32_t index) {
        return kHeaderSize + static_cast<std::uint64_t>(kRecordSize) * index;
    }

    // Reads record `index`; true when all 84 bytes arrived.
    bool ReadRecord(std::uint32_t index, RecordBytes& buffer);
    std::optional<SessionRecord> GetRecord(std::uint32_t index);

    // Writes the header copy at offset 0 with the time set to now and the purge
    // countdown decremented while it is above 0, then flushes.
    bool WriteHeader();

    // Appends a record (see the damaged-file rules above) and returns its index,
    // which is the record count before the append for a sound file. Nothing when
    // the file is not open or a write failed.
    std::optional<std::uint32_t> Append(const SessionRecord& record);

    // Rewrites record `index` in place and flushes; the header is not touched.
    // False when there is no such record in the file or the write failed.
    bool Update(const SessionRecord& record, std::uint32_t index);

    // Replaces the table by the file's records (with the table's usual spare room).
    LoadResult LoadTable(RecordTable& table);

    // True when a session starting at `start` from `clientIp` continues the last
    // record: same client address, the record never completed (duration below 2)
    // and starts less than 13 seconds apart. A last record that cannot be read is
    // reported as "CFixLenRecDoc::GetRecord" with the value 1 and answers no.
    bool IsContinuation(std::int64_t start, std::string_view clientIp);

    // After the first check of a run: loads the table (telling the user
    // "WriteBuf()失败" when that fails) and, when the purge countdown has reached
    // 0 and the table holds the whole file, runs the purge check.
    void AfterSessionCheck(RecordTable& table);
    void SetPurgeCheck(PurgeCheck check) { purgeCheck_ = std::move(check); }

    // Sets the header copy's purge countdown back to its start; the file gets it
    // with the next header write.
    void RestartPurgeCountdown() { header_.purgeCountdown = kPurgeCountdownStart; }

    // Sets the header copy's count of leading records to drop: the purge check
    // stores how many records the purge is to remove here, and the purge reads
    // it. Only the header copy changes; the purge writes a new file whose header
    // holds 0 again.
    void SetDropCount(std::int32_t count) { header_.dropCount = count; }

  private:
    // The number of complete records in the file, from its length; nothing when
    // the length cannot be read or the file is shorter than a header.
    std::optional<std::uint64_t> CompleteRecordsInFile();

    FileSystem& files_;
    const Clock& clock_;
    Notifier& notifier_;
    RecordFileHeader header_;
    std::unique_ptr<RandomAccessFile> file_;
    std::wstring path_;
    int lastError_ = 0;
    unsigned defects_ = kNoDefect;
    std::optional<std::uint32_t> lastAppended_;
    PurgeCheck purgeCheck_;
};

}  // namespace hourlink
