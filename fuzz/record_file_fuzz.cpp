// libFuzzer target for the record file: a file of any bytes, in memory, goes
// through what the program does with it: opened for update, its unfinished
// record recovered from the backup, loaded, purged, sessions appended and
// completed, crashes and restarts, the history reader's header read, with any
// one file operation failing (or all from some point on).
//
// Whatever the file holds and whatever fails, the complete records found in
// it and those the program wrote stay in it: only the record the program
// rewrites may change (and, when its write failed, may be torn), and only the
// purge drops records, the oldest ones, all or none. A table reported loaded
// holds exactly the file's counted records.
//
// Input: 20 bytes of control, then the record file's bytes.
//   [0] bit 0 the file exists, 1 the backup exists, 2 a connection is up at
//       start, 3 it continues the last record, 4 the backup is cut short
//   [1] the number of the file operation that fails (0: none)
//   [2] bit 0 failures continue, 1 a failing write writes half; bits 2-4 a
//       step of the purge, bits 5-6 what happens there (fail, crash)
//   [3..6] the backup's value  [7..10] the clock  [11] DelInterval
//   [12] StartDate  [13..19] the steps
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/byte_order.h"
#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/records/backup_file.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_maintenance.h"
#include "core/records/record_table.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fuzz_support.h"
#include "memory_file_system.h"

using namespace hourlink;

namespace {

constexpr std::size_t kControlSize = 20;
const std::wstring kPath = L"C:\\Hourlink\\adsl.bs";

using Model = std::vector<std::optional<SessionRecord>>;

// Records are compared as the program writes them: without the bytes between
// the fields and after the name, which a rewrite clears.
bool Same(const SessionRecord& a, const SessionRecord& b) {
    return EncodeRecord(a) == EncodeRecord(b);
}

class Run {
  public:
    Run(const std::uint8_t* control, fuzz::MemoryFileSystem& files)
        : c_(control),
          files_(files),
          clock_(LoadU32(control + 7)),
          maintenance_(files, clock_, settings_, notifier_) {
        WriteSetting(settings_, settings::kDelInterval, c_[11]);
        WriteSetting(settings_, settings::kStartDate, c_[12]);
        const auto action = static_cast<FaultAction>((c_[2] >> 5) & 3);
        const auto step = static_cast<PurgeStep>((c_[2] >> 2) & 7);
        maintenance_.SetFaultHook([action, step](PurgeStep at) {
            return at == step && action != FaultAction::Proceed ? action : FaultAction::Proceed;
        });
        for (std::size_t i = 0; i < CompleteRecords(); ++i) model_.push_back(FileRecord(i));
    }

    void Start() {
        doc_ = std::make_unique<CFixLenRecDoc>(files_, clock_, notifier_);
        session_.reset();
        if (!doc_->OpenForUpdate(kPath)) return;
        // The watcher's first check: the recovery, then the load and, when
        // the countdown has run out, the purge check.
        const bool continues = (c_[0] & 4) && (c_[0] & 8);
        const std::optional<std::uint32_t> index = RecoveryIndex(doc_->RecordCount(), continues);
        const RecoveryResult recovered =
            maintenance_.RecoverUnfinishedRecord(*doc_, table_, continues);
        if (recovered == RecoveryResult::Recovered || recovered == RecoveryResult::ReloadFailed) {
            const std::int32_t seconds =
                LoadI32(files_.contents[BackupFile::PathBeside(kPath)].data());
            Expect(*index, [seconds](SessionRecord& r) {
                // The session gets a length, and an end that fits the record.
                FUZZ_REQUIRE(seconds >= 0 && std::int64_t{r.start} + seconds <= 0xFFFFFFFF);
                r.Complete(seconds);
                r.continuation = static_cast<std::uint8_t>(Continuation::Recovered);
            });
        } else if (recovered == RecoveryResult::WriteFailed) {
            Forget(*index);
        }
        Check();
        const Model before = model_;
        const std::uint32_t drop = ExpectedDrop();
        doc_->SetPurgeCheck(maintenance_.PurgeCheck());
        doc_->AfterSessionCheck(table_);
        AfterPurge(before, drop);
    }

    void Step(std::uint8_t step) {
        const unsigned arg = step >> 3;
        switch (step & 7) {
            case 0:
                return BeginSession(arg);
            case 1:
                return EndSession(arg);
            case 2:  // the program dies and starts again
                return Start();
            case 3:
                return PurgeNow(arg);
            case 4: {  // the history list reads the header
                CFixLenRecDoc reader(files_, clock_, notifier_);
                (void)reader.OpenForRead(kPath);
                return;
            }
            case 5:
                return Load();
            case 6: {  // the running session's minute in the backup
                BackupFile backup(files_);
                backup.Open(BackupFile::PathBeside(kPath));
                backup.Write(std::int64_t{arg} * 60);
                return;
            }
            default:
                clock_.Advance(std::int64_t{arg} * 7 * 86400);
                return;
        }
    }

    // The file keeps every record of the model; complete records the model
    // does not know yet (written by a call that then failed) join it.
    void Check() {
        const std::size_t complete = CompleteRecords();
        FUZZ_REQUIRE(complete >= model_.size());
        for (std::size_t i = 0; i < complete; ++i) {
            if (i == model_.size()) model_.push_back(FileRecord(i));
            if (model_[i]) FUZZ_REQUIRE(Same(FileRecord(i), *model_[i]));
        }
    }

  private:
    std::size_t CompleteRecords() {
        const auto it = files_.contents.find(kPath);
        if (it == files_.contents.end() || it->second.size() < kHeaderSize) return 0;
        return (it->second.size() - kHeaderSize) / kRecordSize;
    }
    SessionRecord FileRecord(std::size_t index) {
        return DecodeRecord(files_.contents[kPath].data() +
                            CFixLenRecDoc::RecordOffset(static_cast<std::uint32_t>(index)));
    }
    bool Matches(const Model& model) {
        if (CompleteRecords() < model.size()) return false;
        for (std::size_t i = 0; i < model.size(); ++i) {
            if (model[i] && !Same(FileRecord(i), *model[i])) return false;
        }
        return true;
    }
    // Record `index` was rewritten from its known contents changed by `change`.
    template <typename Change>
    void Expect(std::uint32_t index, Change change) {
        if (index >= model_.size() || !model_[index]) return;
        change(*model_[index]);
    }
    // A failed write may have left record `index` torn.
    void Forget(std::uint32_t index) {
        if (index < model_.size()) model_[index].reset();
    }

    // What the purge check drops from the counted records as they are now.
    std::uint32_t ExpectedDrop() {
        std::vector<SessionRecord> records;
        const std::size_t counted = std::min<std::size_t>(doc_->RecordCount(), CompleteRecords());
        for (std::size_t i = 0; i < counted; ++i) {
            records.push_back(FileRecord(i));
        }
        const std::int64_t cutoff =
            PurgeCutoff(clock_.Now(), ReadSetting(settings_, settings::kDelInterval, 3),
                        ReadStartDay(settings_));
        return PurgeDropCount(records, cutoff);
    }

    // After a purge the file holds the old records or, the oldest `drop`
    // dropped, the new ones.
    void AfterPurge(const Model& before, std::uint32_t drop) {
        if (Matches(before)) {
            model_ = before;
        } else {
            FUZZ_REQUIRE(drop > 0 && drop < before.size());
            const Model after(before.begin() + drop, before.end());
            FUZZ_REQUIRE(Matches(after) && CompleteRecords() == after.size());
            model_ = after;
        }
        Check();
    }

    void BeginSession(unsigned arg) {
        if (!doc_ || !doc_->IsOpenForUpdate() || session_) return;
        SessionRecord record;
        record.marker = kRecordMarker;
        record.start = static_cast<std::uint32_t>(clock_.Now());
        record.SetClientIp(arg & 1 ? "192.168.1.9" : "10.0.0.1");
        if (arg & 2 && !model_.empty() && model_.back()) {
            // A session that may continue the last record.
            record.start = model_.back()->start + (arg >> 2) - 4;
        }
        if (doc_->IsContinuation(record.start, record.ClientIp())) {
            session_ = doc_->RecordCount() - 1;
            return;
        }
        const std::size_t complete = CompleteRecords();
        session_ = doc_->Append(record);
        if (session_) {
            // Right after the last complete record, and counted.
            FUZZ_REQUIRE(*session_ == complete && doc_->RecordCount() == *session_ + 1);
            FUZZ_REQUIRE(model_.size() == complete);
            model_.push_back(record);
        }
        Check();
    }

    void EndSession(unsigned arg) {
        if (!doc_ || !session_) return;
        SessionRecord record;
        if (*session_ < model_.size() && model_[*session_]) {
            record = *model_[*session_];
        }
        record.Complete(static_cast<std::int32_t>(arg * 97 + 2));
        if (doc_->Update(record, *session_)) {
            model_[*session_] = record;
        } else {
            Forget(*session_);
        }
        session_.reset();
        Check();
    }

    void PurgeNow(unsigned arg) {
        if (!doc_ || session_ || doc_->LoadTable(table_) != CFixLenRecDoc::LoadResult::Loaded) {
            return;
        }
        const Model before = model_;
        const std::uint32_t drop = arg * 3;
        doc_->SetDropCount(static_cast<std::int32_t>(drop));
        const PurgeResult result = maintenance_.Purge(*doc_, table_);
        if (result == PurgeResult::Refused || result == PurgeResult::Failed) {
            FUZZ_REQUIRE(Matches(before));
        }
        AfterPurge(before, drop);
        if (result == PurgeResult::Purged) {
            FUZZ_REQUIRE(table_.Size() == CompleteRecords());
            for (std::size_t i = 0; i < table_.Size(); ++i) {
                FUZZ_REQUIRE(Same(*table_.Get(i), FileRecord(i)));
            }
        }
        if (result == PurgeResult::Crashed) Start();
    }

    void Load() {
        if (!doc_) return;
        const CFixLenRecDoc::LoadResult result = doc_->LoadTable(table_);
        if (result == CFixLenRecDoc::LoadResult::Failed) return;
        const std::size_t complete = CompleteRecords();
        const std::size_t counted = doc_->RecordCount();
        if (result == CFixLenRecDoc::LoadResult::Loaded) {
            FUZZ_REQUIRE(table_.Size() == counted && counted <= complete);
        } else {
            FUZZ_REQUIRE(table_.Size() == complete && complete < counted);
        }
        for (std::size_t i = 0; i < table_.Size(); ++i) {
            FUZZ_REQUIRE(Same(*table_.Get(i), FileRecord(i)));
        }
    }

    const std::uint8_t* c_;
    fuzz::MemoryFileSystem& files_;
    ManualClock clock_;
    MemorySettingsStore settings_;
    SilentNotifier notifier_;
    RecordMaintenance maintenance_;
    RecordTable table_;
    std::unique_ptr<CFixLenRecDoc> doc_;
    std::optional<std::uint32_t> session_;
    Model model_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kControlSize) return 0;
    fuzz::MemoryFileSystem files({data[1], (data[2] & 1) != 0, (data[2] & 2) != 0});
    if (data[0] & 1) files.contents[kPath].assign(data + kControlSize, data + size);
    if (data[0] & 2) {
        files.contents[BackupFile::PathBeside(kPath)].assign(data + 3,
                                                             data + (data[0] & 16 ? 5 : 7));
    }
    Run run(data, files);
    run.Start();
    for (std::size_t i = 13; i < kControlSize; ++i) run.Step(data[i]);
    return 0;
}
