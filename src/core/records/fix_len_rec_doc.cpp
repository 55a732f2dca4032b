#include "core/records/fix_len_rec_doc.h"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

namespace hourlink {

namespace {

// Records read per call when loading the table: 86 KB, big enough that a long
// history loads in about a hundred reads, small enough that the buffer, freed
// after the load, leaves little in the heap.
constexpr std::size_t kLoadChunkRecords = 1024;

}  // namespace

CFixLenRecDoc::CFixLenRecDoc(FileSystem& files, const Clock& clock, Notifier& notifier)
    : files_(files), clock_(clock), notifier_(notifier) {}

CFixLenRecDoc::~CFixLenRecDoc() = default;

bool CFixLenRecDoc::OpenForUpdate(const std::wstring& path) {
    Close();
    path_ = path;
    defects_ = kNoDefect;
    const OpenMode mode = files_.FileExists(path) ? OpenMode::ReadWrite : OpenMode::CreateReadWrite;
    OpenResult opened = files_.Open(path, mode, ShareMode::DenyWrite);
    if (!opened.file) {
        lastError_ = opened.error;
        return false;
    }
    file_ = std::move(opened.file);
    lastError_ = 0;

    const std::optional<std::uint64_t> size = file_->Size();
    if (!size) {
        lastError_ = kReadFailedError;
        Close();
        return false;
    }
    if (*size == 0) {
        header_ = RecordFileHeader{};
        header_.purgeCountdown = kPurgeCountdownStart;
        if (!WriteHeader()) {
            lastError_ = kWriteFailedError;
            Close();
            return false;
        }
        return true;
    }

    HeaderBytes bytes{};
    const std::optional<std::size_t> got = file_->ReadAt(0, bytes.data(), bytes.size());
    if (!got || *got < bytes.size()) {
        // Too short to be a record file: leave it untouched for the user to look at.
        lastError_ = kShortHeaderError;
        Close();
        return false;
    }
    header_ = DecodeHeader(bytes.data());

    const std::uint64_t data = *size > kHeaderSize ? *size - kHeaderSize : 0;
    const std::uint64_t complete = data / kRecordSize;
    if (header_.recordCount > complete) defects_ |= kCountBeyondData;
    if (header_.recordCount < complete) defects_ |= kUncountedData;
    if (data % kRecordSize != 0) defects_ |= kTornRecord;
    if (header_.recordSize != kRecordSize) defects_ |= kBadRecordSize;
    if (header_.headerSize != kHeaderSize) defects_ |= kBadHeaderSize;
    return true;
}

bool CFixLenRecDoc::OpenForRead(const std::wstring& path) {
    OpenResult opened = files_.Open(path, OpenMode::ReadOnly, ShareMode::DenyNone);
    if (!opened.file) {
        lastError_ = opened.error;
        return false;
    }
    HeaderBytes bytes{};
    const std::optional<std::size_t> got = opened.file->ReadAt(0, bytes.data(), bytes.size());
    if (!got || *got < bytes.size()) {
        lastError_ = kShortHeaderError;
        return false;
    }
    header_ = DecodeHeader(bytes.data());
    lastError_ = 0;
    return true;
}

void CFixLenRecDoc::Close() {
    file_.reset();
}

std::optional<std::uint64_t> CFixLenRecDoc::CompleteRecordsInFile() {
    if (!file_) return std::nullopt;
    const std::optional<std::uint64_t> size = file_->Size();
    if (!size || *size < kHeaderSize) return std::nullopt;
    return (*size - kHeaderSize) / kRecordSize;
}

bool CFixLenRecDoc::ReadRecord(std::uint32_t index, RecordBytes& buffer) {
    if (!file_) return false;
    const std::optional<std::size_t> got =
        file_->ReadAt(RecordOffset(index), buffer.data(), buffer.size());
    return got && *got == buffer.size();
}

std::optional<SessionRecord> CFixLenRecDoc::GetRecord(std::uint32_t index) {
    RecordBytes bytes{};
    if (!ReadRecord(index, bytes)) return std::nullopt;
    return DecodeRecord(bytes.data());
}

bool CFixLenRecDoc::WriteHeader() {
    if (!file_) return false;
    RecordFileHeader next = header_;
    next.time = static_cast<std::uint32_t>(clock_.Now());
    if (next.purgeCountdown > 0) --next.purgeCountdown;
    // The file is always laid out with these sizes, whatever a damaged header said.
    next.headerSize = kHeaderSize;
    next.recordSize = kRecordSize;
    const HeaderBytes bytes = EncodeHeader(next);
    if (!file_->WriteAt(0, bytes.data(), bytes.size())) return false;
    header_ = next;
    return file_->Flush();
}

std::optional<std::uint32_t> CFixLenRecDoc::Append(const SessionRecord& record) {
    const std::optional<std::uint64_t> complete = CompleteRecordsInFile();
    if (!complete || *complete >= std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    // The new record goes right after the last complete one, so neither a count
    // that is too large (a gap) nor one that is too small (overwriting) can put
    // it anywhere else; the count follows the data.
    const auto index = static_cast<std::uint32_t>(*complete);
    const RecordFileHeader before = header_;
    header_.recordCount = index + 1;
    if (!WriteHeader()) {
        header_ = before;
        return std::nullopt;
    }
    const RecordBytes bytes = EncodeRecord(record);
    if (!file_->WriteAt(RecordOffset(index), bytes.data(), bytes.size()) || !file_->Flush()) {
        // The header counts a record the file may not hold in full; the load
        // reports that, and the next append lands on the same slot again.
        return std::nullopt;
    }
    lastAppended_ = index;
    return index;
}

bool CFixLenRecDoc::Update(const SessionRecord& record, std::uint32_t index) {
    if (index >= header_.recordCount) return false;
    const std::optional<std::uint64_t> complete = CompleteRecordsInFile();
    if (!complete || index >= *complete) return false;
    const RecordBytes bytes = EncodeRecord(record);
    return file_->WriteAt(RecordOffset(index), bytes.data(), bytes.size()) && file_->Flush();
}

CFixLenRecDoc::LoadResult CFixLenRecDoc::LoadTable(RecordTable& table) {
    const std::optional<std::uint64_t> complete = CompleteRecordsInFile();
    if (!complete) return LoadResult::Failed;
    // Never trust the count for the allocation: at most what the file holds.
    const std::uint64_t wanted = header_.recordCount;
    const auto count = static_cast<std::size_t>(std::min(wanted, *complete));

    CompactRecords records;
    std::vector<std::uint8_t> chunk;
    try {
        records.Reserve(count + RecordTable::kSpareRecords);
        chunk.resize(std::min(count, kLoadChunkRecords) * kRecordSize);
        std::size_t done = 0;
        while (done < count) {
            const std::size_t n = std::min(count - done, kLoadChunkRecords);
            const std::size_t bytes = n * kRecordSize;
            const std::optional<std::size_t> got = file_->ReadAt(
                RecordOffset(static_cast<std::uint32_t>(done)), chunk.data(), bytes);
            if (!got || *got != bytes) return LoadResult::Failed;
            for (std::size_t i = 0; i < n; ++i) {
                records.PushBack(DecodeRecord(chunk.data() + i * kRecordSize));
            }
            done += n;
        }
    } catch (const std::bad_alloc&) {
        // Records that share nothing take more room than the file: a table
        // that cannot be held is not loaded rather than loaded in part.
        return LoadResult::Failed;
    }
    table.Replace(std::move(records));
    return count < wanted ? LoadResult::Truncated : LoadResult::Loaded;
}

bool CFixLenRecDoc::IsContinuation(std::int64_t start, std::string_view clientIp) {
    if (header_.recordCount == 0) return false;
    const std::optional<SessionRecord> last = GetRecord(header_.recordCount - 1);
    if (!last) {
        notifier_.ReportError(L"CFixLenRecDoc::GetRecord", 1);
        return false;
    }
    if (last->ClientIp() != clientIp) return false;
    if (last->duration >= 2) return false;
    const std::int64_t apart = start - static_cast<std::int64_t>(last->start);
    return apart > -13 && apart < 13;
}

void CFixLenRecDoc::AfterSessionCheck(RecordTable& table) {
    const LoadResult loaded = LoadTable(table);
    if (loaded != LoadResult::Loaded) {
        notifier_.ShowMessage(L"WriteBuf()失败");
        // The purge rewrites the file from the table, so it must not run on a
        // table that does not hold the whole file.
        return;
    }
    if (header_.purgeCountdown == 0 && purgeCheck_) purgeCheck_(*this, table);
}

}  // namespace hourlink
