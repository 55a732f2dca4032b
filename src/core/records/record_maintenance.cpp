#include "core/records/record_maintenance.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "core/base/time_format.h"
#include "core/records/backup_file.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

// What a header write makes of a fresh header's countdown of 255: a purged
// file holds 254, like a new one.
constexpr std::uint8_t kWrittenCountdown = CFixLenRecDoc::kPurgeCountdownStart - 1;

// Records written per call to the new file.
constexpr std::size_t kWriteChunkRecords = 4096;

// The swap is tried a few times: a history reader that has the file open for
// the moment it reads the header makes Windows refuse it.
constexpr int kReplaceAttempts = 3;
constexpr std::chrono::milliseconds kReplacePause{50};

// The system's "cannot open" for a writer that found the new file too short.
constexpr int kReopenMismatchError = CFixLenRecDoc::kShortHeaderError;

bool WriteRecords(RandomAccessFile& file, std::span<const SessionRecord> records,
                  std::uint64_t firstIndex) {
    std::vector<std::uint8_t> chunk;
    for (std::size_t done = 0; done < records.size();) {
        const std::size_t n = std::min(records.size() - done, kWriteChunkRecords);
        chunk.resize(n * kRecordSize);
        for (std::size_t i = 0; i < n; ++i) {
            const RecordBytes bytes = EncodeRecord(records[done + i]);
            std::copy(bytes.begin(), bytes.end(), chunk.begin() + i * kRecordSize);
        }
        const auto index = static_cast<std::uint32_t>(firstIndex + done);
        if (!file.WriteAt(CFixLenRecDoc::RecordOffset(index), chunk.data(), chunk.size())) {
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

std::int64_t PurgeCutoff(std::int64_t now, int delInterval, int startDate) {
    std::int64_t months = delInterval;
    const std::optional<std::tm> today = ToLocalTime(now);
    if (today && today->tm_mday < startDate) ++months;
    return now - months * kRetentionMonthSeconds;
}

namespace {

// How many of `count` records to drop, from their starts by index.
template <typename StartAt>
std::uint32_t DropCount(std::size_t count, StartAt&& startAt, std::int64_t cutoff) {
    if (count == 0 || startAt(0) > cutoff) return 0;
    std::size_t old = 0;
    for (std::size_t i = 1; i < count; ++i) {
        if (startAt(i) <= cutoff) ++old;
    }
    if (old < kPurgeThreshold) return 0;
    return static_cast<std::uint32_t>(old - kOldRecordsKept);
}

}  // namespace

std::uint32_t PurgeDropCount(std::span<const SessionRecord> records, std::int64_t cutoff) {
    return DropCount(records.size(), [&](std::size_t i) { return records[i].start; }, cutoff);
}

std::uint32_t PurgeDropCount(const CompactRecords& records, std::int64_t cutoff) {
    return DropCount(records.size(), [&](std::size_t i) { return records.StartAt(i); }, cutoff);
}

std::optional<std::uint32_t> RecoveryIndex(std::uint32_t count, bool lastRecordContinues) {
    if (count == 0 || lastRecordContinues) return std::nullopt;
    return count - 1;
}

RecordMaintenance::RecordMaintenance(FileSystem& files, const Clock& clock, SettingsStore& settings,
                                     Notifier& notifier)
    : files_(files), clock_(clock), settings_(settings), notifier_(notifier) {}

RecoveryResult RecordMaintenance::RecoverUnfinishedRecord(CFixLenRecDoc& doc, RecordTable& table,
                                                          bool lastRecordContinues) {
    const std::optional<std::uint32_t> index =
        RecoveryIndex(doc.RecordCount(), lastRecordContinues);
    if (!index) return RecoveryResult::NoRecord;
    std::optional<SessionRecord> record = doc.GetRecord(*index);
    if (!record || record->duration > 0) return RecoveryResult::Complete;

    const std::optional<std::int32_t> seconds =
        BackupFile::Read(files_, BackupFile::PathBeside(doc.Path()));
    if (!seconds) return RecoveryResult::NoBackup;
    // A damaged backup must not give a session a negative length or an end
    // that does not fit the record's 32-bit time.
    constexpr std::int64_t kLatest = std::numeric_limits<std::uint32_t>::max();
    if (*seconds < 0 || static_cast<std::int64_t>(record->start) + *seconds > kLatest) {
        return RecoveryResult::BadBackup;
    }

    record->Complete(*seconds);
    record->continuation = static_cast<std::uint8_t>(Continuation::Recovered);
    if (!doc.Update(*record, *index)) {
        notifier_.ReportError(L"CFixLenRecDoc::Update", 1);
        return RecoveryResult::WriteFailed;
    }
    if (doc.LoadTable(table) != CFixLenRecDoc::LoadResult::Loaded) {
        notifier_.ShowMessage(L"WriteBuf()失败");
        return RecoveryResult::ReloadFailed;
    }
    return RecoveryResult::Recovered;
}

std::uint32_t RecordMaintenance::CheckPurge(CFixLenRecDoc& doc, RecordTable& table) {
    // Out-of-range settings read as the defaults a fresh installation writes.
    const int delInterval = ReadSetting(settings_, settings::kDelInterval, 3);
    const int startDate = ReadStartDay(settings_);
    const std::int64_t cutoff = PurgeCutoff(clock_.Now(), delInterval, startDate);
    const std::uint32_t drop = table.Read([cutoff](const CompactRecords& records) {
        return PurgeDropCount(records, cutoff);
    });
    if (drop == 0) {
        doc.RestartPurgeCountdown();
        return 0;
    }
    doc.SetDropCount(static_cast<std::int32_t>(drop));
    return Purge(doc, table) == PurgeResult::Purged ? drop : 0;
}

PurgeResult RecordMaintenance::Purge(CFixLenRecDoc& doc, RecordTable& table) {
    const std::int32_t drop = doc.Header().dropCount;
    const std::uint32_t count = doc.RecordCount();
    // The purge check runs again at the next start when this one does not
    // purge: the countdown is left at 0.
    doc.SetDropCount(0);
    if (!doc.IsOpenForUpdate() || drop <= 0 || static_cast<std::uint32_t>(drop) >= count ||
        table.Size() != count || (doc.Defects() & CFixLenRecDoc::kUncountedData) != 0) {
        return PurgeResult::Refused;
    }

    std::vector<SessionRecord> kept;
    try {
        kept = table.Read([drop](const CompactRecords& records) {
            std::vector<SessionRecord> rest;
            rest.reserve(records.size() - static_cast<std::size_t>(drop));
            records.ForEach(static_cast<std::size_t>(drop), records.size(),
                            [&](std::size_t, const SessionRecord& r) { rest.push_back(r); });
            return rest;
        });
    } catch (const std::bad_alloc&) {
        return PurgeResult::Refused;
    }

    const std::wstring target = doc.Path();
    const std::wstring newPath = NewFilePath(target);
    std::unique_ptr<RandomAccessFile> newFile;
    bool crashed = false;
    // Runs one step unless the test hook fails it or stops the purge there.
    auto step = [&](PurgeStep which, auto&& operation) -> bool {
        const FaultAction action = faultHook_ ? faultHook_(which) : FaultAction::Proceed;
        if (action == FaultAction::Crash) crashed = true;
        if (action != FaultAction::Proceed) return false;
        return operation();
    };

    RecordFileHeader header;  // tag "12", drop count 0, sizes 32 and 84
    header.time = static_cast<std::uint32_t>(clock_.Now());
    header.purgeCountdown = kWrittenCountdown;
    header.recordCount = static_cast<std::uint32_t>(kept.size());
    const std::uint64_t newSize = CFixLenRecDoc::RecordOffset(header.recordCount);
    const std::size_t half = kept.size() / 2;
    const std::span<const SessionRecord> all(kept);

    const bool written =
        step(PurgeStep::CreateNewFile,
             [&] {
                 // A file left by an interrupted purge is emptied first.
                 OpenResult opened =
                     files_.Open(newPath, OpenMode::CreateReadWrite, ShareMode::DenyWrite);
                 newFile = std::move(opened.file);
                 return newFile && newFile->Truncate(0);
             }) &&
        step(PurgeStep::WriteNewHeader,
             [&] {
                 const HeaderBytes bytes = EncodeHeader(header);
                 return newFile->WriteAt(0, bytes.data(), bytes.size());
             }) &&
        step(PurgeStep::WriteRecords, [&] { return WriteRecords(*newFile, all.first(half), 0); }) &&
        step(PurgeStep::WriteMoreRecords,
             [&] { return WriteRecords(*newFile, all.subspan(half), half); }) &&
        step(PurgeStep::FlushNewFile, [&] {
            const bool flushed = newFile->Flush() && newFile->Size() == newSize;
            newFile.reset();
            return flushed;
        });
    if (crashed) return PurgeResult::Crashed;
    if (!written) {
        newFile.reset();
        files_.RemoveFile(newPath);
        return PurgeResult::Failed;
    }

    const bool swapped = step(PurgeStep::CloseWriter,
                              [&] {
                                  doc.Close();
                                  return true;
                              }) &&
                         step(PurgeStep::ReplaceFile, [&] {
                             for (int attempt = 1;; ++attempt) {
                                 if (files_.Replace(newPath, target)) return true;
                                 if (attempt == kReplaceAttempts) return false;
                                 std::this_thread::sleep_for(kReplacePause);
                             }
                         });
    if (crashed) return PurgeResult::Crashed;
    if (!swapped) {
        files_.RemoveFile(newPath);
        if (!doc.IsOpenForUpdate() && !doc.OpenForUpdate(target)) {
            notifier_.ReportError(L"Cann,t Open Record File ", doc.LastError());
        }
        return PurgeResult::Failed;
    }

    // The file now holds the kept records: so does the table, whatever follows.
    table.Replace(std::move(kept));
    const bool reopened = step(PurgeStep::ReopenWriter, [&] {
        return doc.OpenForUpdate(target) && doc.RecordCount() == header.recordCount;
    });
    if (crashed) return PurgeResult::Crashed;
    if (!reopened) {
        const int error = doc.LastError() != 0 ? doc.LastError() : kReopenMismatchError;
        doc.Close();
        notifier_.ReportError(L"Cann,t Open Record File ", error);
        return PurgeResult::ReopenFailed;
    }
    return PurgeResult::Purged;
}

std::function<void(CFixLenRecDoc&, RecordTable&, bool)> RecordMaintenance::StartupRecovery() {
    return [this](CFixLenRecDoc& doc, RecordTable& table, bool lastRecordContinues) {
        RecoverUnfinishedRecord(doc, table, lastRecordContinues);
    };
}

CFixLenRecDoc::PurgeCheck RecordMaintenance::PurgeCheck() {
    return [this](CFixLenRecDoc& doc, RecordTable& table) { CheckPurge(doc, table); };
}

}  // namespace hourlink
