// Keeping the record file sound over months of use: the start-up recovery of a
// record left unfinished by a crash (from the backup file, backup_file.h) and
// the purge of the oldest records once enough of them are past the retention
// period. Both run in the watcher thread at its first check of a run.
//
// The purge never rewrites the record file in place. It writes the new file
// beside the old one ("adsl.bs.new"), flushes and closes it, closes the writer's
// handle on the old file, moves the new file over the old one in one step and
// opens the writer again on it. A crash or a failure at any point thus leaves
// the old file or the new one whole under the record file's name; a new file
// left behind by a crash is overwritten by the next purge. The writer's handle
// is closed for the swap because Windows refuses to replace a file that is open
// without delete sharing, and the record file is opened without it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/base/clock.h"
#include "core/base/file_system.h"
#include "core/base/notifier.h"
#include "core/base/session_record.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "core/settings/settings_store.h"

namespace hourlink {

// A retention month, in seconds (30 days).
inline constexpr std::int64_t kRetentionMonthSeconds = 2'592'000;
// A purge starts when at least this many records, from the second on, are old.
inline constexpr std::uint32_t kPurgeThreshold = 50;
// ... and drops all of the old ones but these many (plus the uncounted first).
inline constexpr std::uint32_t kOldRecordsKept = 20;

// The start of the retention period at `now`: `delInterval` retention months
// back, one more when today's day of the month (local time) is below
// `startDate`, because the current accounting month then began in the previous
// calendar month.
std::int64_t PurgeCutoff(std::int64_t now, int delInterval, int startDate);

// How many leading records the purge drops from `records` with this cutoff: 0
// when the first record started after the cutoff or fewer than kPurgeThreshold
// records from index 1 on started at or before it; otherwise that number minus
// kOldRecordsKept.
std::uint32_t PurgeDropCount(std::span<const SessionRecord> records, std::int64_t cutoff);
std::uint32_t PurgeDropCount(const CompactRecords& records, std::int64_t cutoff);

// The record the start-up recovery looks at in a file of `count` records: the
// last one, which a crash may have left open, unless the session running now
// continues it (the program crashed during that session and it is still up):
// then none. The backup holds the minutes of the last record's session, so
// they never go to an older record.
std::optional<std::uint32_t> RecoveryIndex(std::uint32_t count, bool lastRecordContinues);

enum class RecoveryResult {
    NoRecord,      // no record to look at
    Complete,      // the record was completed already (or could not be read)
    NoBackup,      // the backup is missing or shorter than 4 bytes
    BadBackup,     // the backup holds a negative length or one past 2106
    WriteFailed,   // the completed record could not be written (reported)
    Recovered,     // completed and written; the table was reloaded
    ReloadFailed,  // completed and written; reloading the table failed (told)
};

// The points of a purge where the test hook can make it fail or stop dead.
enum class PurgeStep {
    CreateNewFile,     // create (or empty) the new file beside the old
    WriteNewHeader,    // write its header
    WriteRecords,      // write the first half of the kept records
    WriteMoreRecords,  // write the second half
    FlushNewFile,      // flush and close it
    CloseWriter,       // close the writer's handle on the old file
    ReplaceFile,       // move the new file over the old
    ReopenWriter,      // open the writer on the new file
};
inline constexpr PurgeStep kAllPurgeSteps[] = {
    PurgeStep::CreateNewFile,    PurgeStep::WriteNewHeader, PurgeStep::WriteRecords,
    PurgeStep::WriteMoreRecords, PurgeStep::FlushNewFile,   PurgeStep::CloseWriter,
    PurgeStep::ReplaceFile,      PurgeStep::ReopenWriter,
};

enum class FaultAction {
    Proceed,  // do the step
    Fail,     // the step fails: the purge cleans up as for a real failure
    Crash,    // the program dies before the step: the purge returns at once
};
using PurgeFaultHook = std::function<FaultAction(PurgeStep)>;

enum class PurgeResult {
    Purged,        // the file and the table hold the kept records; the writer is on the new file
    Refused,       // nothing to do or unsafe to do (see Purge); nothing changed
    Failed,        // the old file is kept whole and the writer is open on it again
    ReopenFailed,  // the new file is in place but the writer could not open it (reported)
    Crashed,       // the test hook stopped the purge dead
};

class RecordMaintenance {
  public:
    // `files` must be the file system the record file's document uses.
    RecordMaintenance(FileSystem& files, const Clock& clock, SettingsStore& settings,
                      Notifier& notifier);

    // Completes the unfinished record chosen by RecoveryIndex from the backup
    // beside the record file: duration the backup's value, end start +
    // duration, billed by the minute rounding, continuation 2; writes it back
    // and reloads the table ("WriteBuf()失败" when that fails). A completed
    // record is left alone whatever the backup holds. `lastRecordContinues`:
    // the session up now continues the file's last record
    // (CFixLenRecDoc::IsContinuation), decided before any record is appended.
    RecoveryResult RecoverUnfinishedRecord(CFixLenRecDoc& doc, RecordTable& table,
                                           bool lastRecordContinues);

    // The purge check, for a document whose purge countdown has reached 0 and a
    // table holding the whole file: with DelInterval and StartDate from the
    // settings, either purges (PurgeDropCount records) or restarts the
    // countdown. Returns the number of records dropped.
    std::uint32_t CheckPurge(CFixLenRecDoc& doc, RecordTable& table);

    // Drops the header copy's drop count of leading records from the file and
    // the table (see the top of this file). Refused, with nothing changed, when
    // the document is not open for update, the drop count is not between 1 and
    // the record count - 1, the table does not hold exactly the counted records,
    // or the file holds records beyond its count (they would be lost).
    PurgeResult Purge(CFixLenRecDoc& doc, RecordTable& table);

    // For tests: called before every step of a purge.
    void SetFaultHook(PurgeFaultHook hook) { faultHook_ = std::move(hook); }

    // The new file written by the purge, beside the record file at `recordPath`.
    static std::wstring NewFilePath(const std::wstring& recordPath) { return recordPath + L".new"; }

    // Adapters for ConnectionWatcher::SetStartupRecovery and
    // CFixLenRecDoc::SetPurgeCheck; this object must outlive them.
    std::function<void(CFixLenRecDoc&, RecordTable&, bool)> StartupRecovery();
    CFixLenRecDoc::PurgeCheck PurgeCheck();

  private:
    FileSystem& files_;
    const Clock& clock_;
    SettingsStore& settings_;
    Notifier& notifier_;
    PurgeFaultHook faultHook_;
};

}  // namespace hourlink
