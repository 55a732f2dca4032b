// The record file "adsl.bs" through CFixLenRecDoc on real files, and the record
// table the program keeps in memory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>

#include "core/base/byte_order.h"
#include "core/base/clock.h"
#include "core/base/posix_file_system.h"
#include "core/base/session_record.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "test_support.h"

namespace hourlink {
namespace {

using test::Bytes;
using test::FileBytes;
using test::ReadAll;
using test::WriteAll;
using ::testing::ElementsAre;
using ::testing::Pair;

constexpr std::int64_t kNow = 1'700'000'000;

SessionRecord Started(std::uint32_t start, const char* ip = "10.0.0.2") {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = start;
    r.type = 2;
    r.SetName("ADSL");
    r.SetClientIp(ip);
    return r;
}

SessionRecord Finished(std::uint32_t start, std::int32_t seconds) {
    SessionRecord r = Started(start);
    r.Complete(seconds);
    r.bytesReceived = 1000 + static_cast<std::uint32_t>(seconds);
    return r;
}

RecordFileHeader Header(std::uint32_t count, std::uint8_t countdown = 200) {
    RecordFileHeader h;
    h.time = 1'600'000'000;
    h.purgeCountdown = countdown;
    h.recordCount = count;
    return h;
}

std::vector<SessionRecord> SomeRecords(int n) {
    std::vector<SessionRecord> records;
    for (int i = 0; i < n; ++i) records.push_back(Finished(1'600'000'000 + i * 7200, 60 * i + 5));
    return records;
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t size) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

class RecordFile : public ::testing::Test {
  protected:
    SessionRecord RecordOnDisk(std::uint32_t index) {
        const Bytes bytes = ReadAll(file);
        EXPECT_GE(bytes.size(), CFixLenRecDoc::RecordOffset(index) + kRecordSize);
        return DecodeRecord(bytes.data() + CFixLenRecDoc::RecordOffset(index));
    }
    RecordFileHeader HeaderOnDisk() { return DecodeHeader(ReadAll(file).data()); }

    test::TempDir dir;
    PosixFileSystem files;
    ManualClock clock{kNow};
    test::RecordingNotifier notifier;
    CFixLenRecDoc doc{files, clock, notifier};
    std::wstring path = dir.WinPath("adsl.bs");
    std::filesystem::path file = dir.File("adsl.bs");
};

// --- opening ---------------------------------------------------------------

TEST_F(RecordFile, MissingFileIsCreatedWithAFreshHeader) {
    ASSERT_TRUE(doc.OpenForUpdate(path));
    const Bytes bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 32u);
    Bytes expected(32, 0);
    expected[0] = '1';
    expected[1] = '2';
    StoreU32(&expected[4], static_cast<std::uint32_t>(kNow));
    expected[8] = 254;
    expected[20] = 32;
    expected[24] = 84;
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(doc.RecordCount(), 0u);
    EXPECT_EQ(doc.Header().purgeCountdown, 254);
    EXPECT_EQ(doc.Defects(), CFixLenRecDoc::kNoDefect);
}

TEST_F(RecordFile, EmptyFileIsInitialisedLikeANewOne) {
    WriteAll(file, {});
    ASSERT_TRUE(doc.OpenForUpdate(path));
    EXPECT_EQ(ReadAll(file).size(), 32u);
    EXPECT_EQ(HeaderOnDisk().purgeCountdown, 254);
    EXPECT_EQ(HeaderOnDisk().recordCount, 0u);
}

TEST_F(RecordFile, ExistingFileIsTakenAsReadAndNotWrittenByOpening) {
    const Bytes original = FileBytes(Header(3, 17), SomeRecords(3));
    WriteAll(file, original);
    ASSERT_TRUE(doc.OpenForUpdate(path));
    EXPECT_EQ(doc.RecordCount(), 3u);
    EXPECT_EQ(doc.Header().purgeCountdown, 17);
    EXPECT_EQ(doc.Header().time, 1'600'000'000u);
    EXPECT_EQ(ReadAll(file), original);
    EXPECT_EQ(doc.GetRecord(2), SomeRecords(3)[2]);
}

TEST_F(RecordFile, FileShorterThanAHeaderIsRefusedAndLeftAlone) {
    const Bytes stub = {'1', '2', 0, 0, 1, 2, 3, 4, 5, 6};
    WriteAll(file, stub);
    EXPECT_FALSE(doc.OpenForUpdate(path));
    EXPECT_EQ(doc.LastError(), CFixLenRecDoc::kShortHeaderError);
    EXPECT_FALSE(doc.IsOpenForUpdate());
    EXPECT_FALSE(doc.Append(Started(kNow)));
    EXPECT_EQ(ReadAll(file), stub);
}

TEST_F(RecordFile, OperationsOnAFileThatCouldNotBeOpenedFailCleanly) {
    EXPECT_FALSE(doc.OpenForUpdate(dir.WinPath("no-such-dir\\adsl.bs")));
    EXPECT_EQ(doc.LastError(), ENOENT);
    EXPECT_FALSE(doc.Append(Started(kNow)).has_value());
    EXPECT_FALSE(doc.Update(Started(kNow), 0));
    EXPECT_FALSE(doc.WriteHeader());
    EXPECT_FALSE(doc.GetRecord(0).has_value());
    RecordTable table;
    table.Replace(SomeRecords(2));
    EXPECT_EQ(doc.LoadTable(table), CFixLenRecDoc::LoadResult::Failed);
    EXPECT_EQ(table.Size(), 2u);  // the previous contents stay
    EXPECT_FALSE(doc.IsContinuation(kNow, "10.0.0.2"));
}

TEST_F(RecordFile, SecondWriterIsRefusedWhileAReaderMayLook) {
    ASSERT_TRUE(doc.OpenForUpdate(path));
    ASSERT_TRUE(doc.Append(Started(kNow)));

    CFixLenRecDoc second(files, clock, notifier);
    EXPECT_FALSE(second.OpenForUpdate(path));
    EXPECT_EQ(second.LastError(), PosixFileSystem::kSharingViolation);

    CFixLenRecDoc reader(files, clock, notifier);
    ASSERT_TRUE(reader.OpenForRead(path));
    EXPECT_EQ(reader.RecordCount(), 1u);
    ASSERT_TRUE(doc.Append(Started(kNow + 100)));
    ASSERT_TRUE(reader.OpenForRead(path));  // every reload sees the current header
    EXPECT_EQ(reader.RecordCount(), 2u);

    doc.Close();
    EXPECT_TRUE(second.OpenForUpdate(path));  // free again once the writer closed
}

TEST_F(RecordFile, OpenForReadNeedsAWholeHeaderAndKeepsItsCopyOtherwise) {
    WriteAll(file, FileBytes(Header(5), SomeRecords(5)));
    ASSERT_TRUE(doc.OpenForRead(path));
    EXPECT_EQ(doc.RecordCount(), 5u);

    WriteAll(file, Bytes(31, 0));
    EXPECT_FALSE(doc.OpenForRead(path));
    EXPECT_EQ(doc.RecordCount(), 5u);

    std::filesystem::remove(file);
    EXPECT_FALSE(doc.OpenForRead(path));
    EXPECT_EQ(doc.LastError(), ENOENT);
    EXPECT_EQ(doc.RecordCount(), 5u);
}

// --- appending and updating ------------------------------------------------

TEST_F(RecordFile, AppendsGrowTheFileAndCountDownThePurge) {
    ASSERT_TRUE(doc.OpenForUpdate(path));
    std::vector<std::optional<std::uint32_t>> indices;
    for (int i = 0; i < 3; ++i) {
        clock.Advance(60);
        indices.push_back(doc.Append(Started(static_cast<std::uint32_t>(clock.Now()))));
    }
    EXPECT_THAT(indices, ElementsAre(0u, 1u, 2u));
    const Bytes bytes = ReadAll(file);
    ASSERT_EQ(bytes.size(), 284u);
    const RecordFileHeader h = DecodeHeader(bytes.data());
    EXPECT_EQ(h.recordCount, 3u);
    EXPECT_EQ(h.purgeCountdown, 251);
    EXPECT_EQ(h.time, static_cast<std::uint32_t>(kNow + 180));
    const RecordBytes third = EncodeRecord(Started(static_cast<std::uint32_t>(kNow + 180)));
    EXPECT_EQ(Slice(bytes, 200, 84), Bytes(third.begin(), third.end()));
    EXPECT_EQ(doc.LastAppended(), 2u);
}

TEST_F(RecordFile, PurgeCountdownStopsAtZero) {
    WriteAll(file, FileBytes(Header(0, 1), {}));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    ASSERT_TRUE(doc.Append(Started(kNow)));
    EXPECT_EQ(HeaderOnDisk().purgeCountdown, 0);
    ASSERT_TRUE(doc.Append(Started(kNow + 60)));
    EXPECT_EQ(HeaderOnDisk().purgeCountdown, 0);

    doc.RestartPurgeCountdown();
    ASSERT_TRUE(doc.WriteHeader());
    EXPECT_EQ(HeaderOnDisk().purgeCountdown, 254);
}

TEST_F(RecordFile, UpdateRewritesOnlyThatRecord) {
    WriteAll(file, FileBytes(Header(3), SomeRecords(3)));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    const Bytes before = ReadAll(file);
    clock.Advance(3600);  // a header write would now carry a different time

    SessionRecord done = SomeRecords(3)[1];
    done.Complete(4000);
    done.bytesSent = 77;
    ASSERT_TRUE(doc.Update(done, 1));

    const Bytes after = ReadAll(file);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(Slice(after, 0, 116), Slice(before, 0, 116));    // header and record 0
    EXPECT_EQ(Slice(after, 200, 84), Slice(before, 200, 84));  // record 2
    const RecordBytes expected = EncodeRecord(done);
    EXPECT_EQ(Slice(after, 116, 84), Bytes(expected.begin(), expected.end()));
}

TEST_F(RecordFile, UpdateOfARecordThatDoesNotExistWritesNothing) {
    WriteAll(file, FileBytes(Header(2), SomeRecords(2)));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    const Bytes before = ReadAll(file);
    EXPECT_FALSE(doc.Update(Finished(kNow, 90), 2));
    EXPECT_FALSE(doc.Update(Finished(kNow, 90), 0xFFFFFFFFu));
    EXPECT_EQ(ReadAll(file), before);
}

TEST_F(RecordFile, SessionStartedAndEndedRoundTripsThroughTheFile) {
    ASSERT_TRUE(doc.OpenForUpdate(path));
    const SessionRecord start = Started(static_cast<std::uint32_t>(kNow));
    const auto index = doc.Append(start);
    ASSERT_TRUE(index);
    SessionRecord end = start;
    end.Complete(62);
    ASSERT_TRUE(doc.Update(end, doc.RecordCount() - 1));
    EXPECT_EQ(RecordOnDisk(*index), end);
    EXPECT_EQ(RecordOnDisk(*index).billed, 120);
}

// --- damaged files ---------------------------------------------------------

TEST_F(RecordFile, CountLargerThanTheDataLoadsWhatIsThereAndAppendsAfterIt) {
    const std::vector<SessionRecord> real = SomeRecords(3);
    WriteAll(file, FileBytes(Header(10), real));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    EXPECT_TRUE(doc.Defects() & CFixLenRecDoc::kCountBeyondData);

    RecordTable table;
    EXPECT_EQ(doc.LoadTable(table), CFixLenRecDoc::LoadResult::Truncated);
    EXPECT_EQ(table.Snapshot(), real);

    // The last counted record is missing: reported, and the session is new.
    EXPECT_FALSE(doc.IsContinuation(real[2].start, "10.0.0.2"));
    EXPECT_THAT(notifier.errors, ElementsAre(Pair(L"CFixLenRecDoc::GetRecord", 1)));

    // An update of a record beyond the data must not make the file longer.
    EXPECT_FALSE(doc.Update(Finished(kNow, 100), doc.RecordCount() - 1));
    EXPECT_EQ(ReadAll(file).size(), 32u + 3 * 84);

    const SessionRecord next = Started(static_cast<std::uint32_t>(kNow));
    EXPECT_EQ(doc.Append(next), 3u);
    EXPECT_EQ(ReadAll(file).size(), 32u + 4 * 84);
    EXPECT_EQ(HeaderOnDisk().recordCount, 4u);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(RecordOnDisk(i), real[i]);
    EXPECT_EQ(RecordOnDisk(3), next);
    // The session's end lands on its own record.
    SessionRecord end = next;
    end.Complete(300);
    EXPECT_TRUE(doc.Update(end, doc.RecordCount() - 1));
    EXPECT_EQ(RecordOnDisk(3), end);
    EXPECT_EQ(doc.LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    EXPECT_EQ(table.Size(), 4u);
}

TEST_F(RecordFile, HugeCountAllocatesOnlyWhatTheFileHolds) {
    WriteAll(file, FileBytes(Header(0xFFFFFFFFu), SomeRecords(2)));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    RecordTable table;
    EXPECT_EQ(doc.LoadTable(table), CFixLenRecDoc::LoadResult::Truncated);
    EXPECT_EQ(table.Size(), 2u);
    EXPECT_LE(table.Capacity(), 2u + RecordTable::kSpareRecords);
    EXPECT_EQ(doc.Append(Started(kNow)), 2u);
    EXPECT_EQ(HeaderOnDisk().recordCount, 3u);
}

TEST_F(RecordFile, RecordsBeyondATooSmallCountAreKept) {
    const std::vector<SessionRecord> real = SomeRecords(3);
    WriteAll(file, FileBytes(Header(1), real));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    EXPECT_TRUE(doc.Defects() & CFixLenRecDoc::kUncountedData);
    RecordTable table;
    EXPECT_EQ(doc.LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    EXPECT_EQ(table.Size(), 1u);

    EXPECT_EQ(doc.Append(Started(kNow)), 3u);
    EXPECT_EQ(HeaderOnDisk().recordCount, 4u);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(RecordOnDisk(i), real[i]);
}

TEST_F(RecordFile, TornRecordAtTheEndIsOverwrittenByTheNextAppend) {
    Bytes bytes = FileBytes(Header(3), SomeRecords(2));
    bytes.resize(bytes.size() + 40, 0xEE);  // half of a third record
    WriteAll(file, bytes);
    ASSERT_TRUE(doc.OpenForUpdate(path));
    EXPECT_TRUE(doc.Defects() & CFixLenRecDoc::kTornRecord);
    EXPECT_FALSE(doc.GetRecord(2).has_value());

    const SessionRecord next = Started(static_cast<std::uint32_t>(kNow));
    EXPECT_EQ(doc.Append(next), 2u);
    EXPECT_EQ(ReadAll(file).size(), 32u + 3 * 84);
    EXPECT_EQ(RecordOnDisk(2), next);
    EXPECT_EQ(RecordOnDisk(1), SomeRecords(2)[1]);
}

TEST_F(RecordFile, OddRecordSizesAreReadAsEightyFourAndRepaired) {
    const std::vector<SessionRecord> real = SomeRecords(3);
    for (const std::uint32_t recordSize : {0u, 1u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(recordSize);
        RecordFileHeader h = Header(3);
        h.recordSize = recordSize;
        h.headerSize = 7;
        WriteAll(file, FileBytes(h, real));
        ASSERT_TRUE(doc.OpenForUpdate(path));
        EXPECT_TRUE(doc.Defects() & CFixLenRecDoc::kBadRecordSize);
        EXPECT_TRUE(doc.Defects() & CFixLenRecDoc::kBadHeaderSize);
        EXPECT_EQ(doc.GetRecord(2), real[2]);
        RecordTable table;
        EXPECT_EQ(doc.LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
        EXPECT_EQ(table.Snapshot(), real);

        SessionRecord done = real[2];
        done.Complete(999);
        EXPECT_TRUE(doc.Update(done, 2));
        EXPECT_EQ(doc.Append(Started(kNow)), 3u);
        EXPECT_EQ(ReadAll(file).size(), 32u + 4 * 84);
        EXPECT_EQ(RecordOnDisk(2), done);
        EXPECT_EQ(HeaderOnDisk().recordSize, 84u);
        EXPECT_EQ(HeaderOnDisk().headerSize, 32u);
        doc.Close();
    }
}

// --- continuing the last session -------------------------------------------

TEST_F(RecordFile, ContinuationNeedsSameAddressOpenRecordAndCloseStart) {
    ASSERT_TRUE(doc.OpenForUpdate(path));
    EXPECT_FALSE(doc.IsContinuation(kNow, "10.0.0.2"));  // empty file
    EXPECT_TRUE(notifier.errors.empty());

    const auto last = static_cast<std::uint32_t>(kNow);
    ASSERT_TRUE(doc.Append(Started(last, "10.0.0.2")));
    EXPECT_TRUE(doc.IsContinuation(last + 12, "10.0.0.2"));
    EXPECT_TRUE(doc.IsContinuation(last - 12, "10.0.0.2"));
    EXPECT_TRUE(doc.IsContinuation(last, "10.0.0.2"));
    EXPECT_FALSE(doc.IsContinuation(last + 13, "10.0.0.2"));
    EXPECT_FALSE(doc.IsContinuation(last - 13, "10.0.0.2"));
    EXPECT_FALSE(doc.IsContinuation(last, "10.0.0.3"));
    EXPECT_FALSE(doc.IsContinuation(last, "10.0.0.2 "));
    EXPECT_FALSE(doc.IsContinuation(last, ""));

    SessionRecord r = Started(last, "10.0.0.2");
    r.duration = 1;  // still counts as never completed
    ASSERT_TRUE(doc.Update(r, 0));
    EXPECT_TRUE(doc.IsContinuation(last + 5, "10.0.0.2"));
    r.duration = 2;
    ASSERT_TRUE(doc.Update(r, 0));
    EXPECT_FALSE(doc.IsContinuation(last + 5, "10.0.0.2"));
    EXPECT_TRUE(notifier.errors.empty());
}

TEST_F(RecordFile, ContinuationLooksAtTheLastRecordOnly) {
    ASSERT_TRUE(doc.OpenForUpdate(path));
    const auto t = static_cast<std::uint32_t>(kNow);
    ASSERT_TRUE(doc.Append(Started(t, "10.0.0.9")));
    ASSERT_TRUE(doc.Append(Finished(t + 100, 50)));
    EXPECT_FALSE(doc.IsContinuation(t, "10.0.0.9"));
}

// --- the check after the first session decision ----------------------------

TEST_F(RecordFile, AfterSessionCheckLoadsTheTableAndRunsThePurgeCheckAtZero) {
    const std::vector<SessionRecord> real = SomeRecords(4);
    RecordTable table;
    int purgeChecks = 0;
    doc.SetPurgeCheck([&](CFixLenRecDoc& d, RecordTable& t) {
        ++purgeChecks;
        EXPECT_EQ(&d, &doc);
        EXPECT_EQ(t.Size(), 4u);  // it sees the freshly loaded table
    });

    WriteAll(file, FileBytes(Header(4, 3), real));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    doc.AfterSessionCheck(table);
    EXPECT_EQ(table.Snapshot(), real);
    EXPECT_EQ(purgeChecks, 0);

    doc.Close();
    WriteAll(file, FileBytes(Header(4, 0), real));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    doc.AfterSessionCheck(table);
    EXPECT_EQ(purgeChecks, 1);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(RecordFile, AfterSessionCheckReportsAFailedLoadAndSkipsThePurge) {
    bool purged = false;
    doc.SetPurgeCheck([&](CFixLenRecDoc&, RecordTable&) { purged = true; });
    WriteAll(file, FileBytes(Header(9, 0), SomeRecords(4)));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    RecordTable table;
    doc.AfterSessionCheck(table);
    EXPECT_THAT(notifier.messages, ElementsAre(L"WriteBuf()失败"));
    EXPECT_FALSE(purged);

    CFixLenRecDoc closed(files, clock, notifier);
    closed.AfterSessionCheck(table);
    EXPECT_EQ(notifier.messages.size(), 2u);
}

TEST_F(RecordFile, LoadTableReadsAHistoryLongerThanOneReadChunk) {
    std::vector<SessionRecord> real;
    for (int i = 0; i < 9000; ++i) {
        real.push_back(
            Finished(1'500'000'000 + static_cast<std::uint32_t>(i) * 3600, i % 5000 + 1));
    }
    WriteAll(file, FileBytes(Header(9000), real));
    ASSERT_TRUE(doc.OpenForUpdate(path));
    RecordTable table;
    ASSERT_EQ(doc.LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    EXPECT_EQ(table.Snapshot(), real);
    EXPECT_GE(table.Capacity(), real.size() + RecordTable::kSpareRecords);
}

// --- the record table -------------------------------------------------------

TEST(RecordTableTest, KeepsSpareRoomAndGrowsPastIt) {
    RecordTable table;
    table.Replace(SomeRecords(10));
    EXPECT_GE(table.Capacity(), 10u + RecordTable::kSpareRecords);

    // More sessions in one run than the spare room holds.
    std::vector<SessionRecord> expected = SomeRecords(10);
    for (int i = 0; i < 3 * static_cast<int>(RecordTable::kSpareRecords); ++i) {
        const SessionRecord r = Started(static_cast<std::uint32_t>(kNow + i));
        EXPECT_EQ(table.Append(r), expected.size());
        expected.push_back(r);
    }
    EXPECT_EQ(table.Snapshot(), expected);
    EXPECT_EQ(table.Last(), expected.back());
}

TEST(RecordTableTest, UpdateAndGetAreBoundsChecked) {
    RecordTable table;
    EXPECT_FALSE(table.Get(0).has_value());
    EXPECT_FALSE(table.Last().has_value());
    EXPECT_FALSE(table.Update(0, Started(kNow)));
    EXPECT_EQ(table.Size(), 0u);

    table.Replace(SomeRecords(3));
    const SessionRecord done = Finished(kNow, 61);
    EXPECT_TRUE(table.Update(2, done));
    EXPECT_FALSE(table.Update(3, done));
    EXPECT_EQ(table.Get(2), done);
    EXPECT_EQ(table.Get(1), SomeRecords(3)[1]);
    EXPECT_FALSE(table.Get(3).has_value());
    EXPECT_EQ(table.Size(), 3u);
}

TEST(RecordTableTest, ReadSeesEveryRowAndHoldsWritersOffUntilItReturns) {
    RecordTable table;
    const std::vector<SessionRecord> rows = SomeRecords(100);
    table.Replace(rows);

    std::future<std::size_t> append;
    const std::int64_t total = table.Read([&](const CompactRecords& view) {
        // A writer on another thread must wait: the rows cannot move under the scan.
        append = std::async(std::launch::async, [&] { return table.Append(Finished(kNow, 60)); });
        EXPECT_EQ(append.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < view.size(); ++i) sum += view[i].duration;
        EXPECT_EQ(view.size(), rows.size());
        return sum;
    });
    EXPECT_EQ(append.get(), rows.size());  // done once the scan let go

    std::int64_t expected = 0;
    for (const SessionRecord& r : rows) expected += r.duration;
    EXPECT_EQ(total, expected);
    EXPECT_EQ(table.Size(), rows.size() + 1);
}


TEST(RecordTableTest, RecordsReadBackByteForByteWhileSharedPartsAreKeptOnce) {
    // Address fields as a file may hold them: only the first is kept as numbers.
    const std::vector<std::string> addresses = {
        std::string("10.0.0.2"),        std::string("255.255.255.255"),
        std::string("0.0.0.0"),         std::string("010.0.0.2"),
        std::string("1.2.3"),           std::string("1.2.3.4.5"),
        std::string("256.1.1.1"),       std::string("1.2.3.4 "),
        std::string("1.2.3.4\0x", 9),   std::string(""),
        std::string(19, '9'),           std::string("1..2.3"),
    };
    std::vector<SessionRecord> rows;
    for (const std::string& address : addresses) {
        SessionRecord r = Finished(kNow + static_cast<std::uint32_t>(rows.size()) * 60, 61);
        r.clientIp.fill(0);
        std::memcpy(r.clientIp.data(), address.data(), std::min(address.size(), r.clientIp.size()));
        r.name[20] = 'x';  // after the name's NUL: kept too
        r.reserved72 = -2;
        if (rows.size() == 5) r.billed = 7;  // not what its duration gives
        rows.push_back(r);
    }
    RecordTable table;
    table.Replace(rows);
    EXPECT_EQ(table.Snapshot(), rows);
    EXPECT_EQ(PlainDottedAddress(rows[1].clientIp), 0xFFFFFFFFu);
    EXPECT_FALSE(PlainDottedAddress(rows[3].clientIp).has_value());

    // A month of sessions of one connection, each with its own address, shares
    // one part; their figures run to the ends of their fields.
    CompactRecords compact;
    std::vector<SessionRecord> month;
    for (std::uint32_t i = 0; i < 300; ++i) {
        SessionRecord r = Started(kNow + i * 3600, ("10.1." + std::to_string(i / 256) + "." +
                                                    std::to_string(i % 256)).c_str());
        r.duration = i % 3 == 0 ? -static_cast<std::int32_t>(i) : static_cast<std::int32_t>(i * 4099);
        r.bytesReceived = i * 2654435761u;
        r.bytesSent = i % 2 == 0 ? 0xFFFFFFFFu : i;
        compact.PushBack(r);
        month.push_back(r);
        EXPECT_EQ(compact[i], r);
    }
    // Records rewritten long after, some by longer ones and some by shorter.
    for (auto [at, which] : {std::pair{7, 4}, {7, 5}, {7, 4}, {250, 5}, {299, 4}}) {
        compact.Set(static_cast<std::size_t>(at), rows[static_cast<std::size_t>(which)]);
        month[static_cast<std::size_t>(at)] = rows[static_cast<std::size_t>(which)];
    }
    for (std::size_t i = 0; i < month.size(); ++i) EXPECT_EQ(compact[i], month[i]) << i;
    // A scan from inside a block to the unpacked end sees the same records.
    std::size_t next = 5;
    compact.ForEach(5, month.size(), [&](std::size_t i, const SessionRecord& r) {
        ASSERT_EQ(i, next++);
        EXPECT_EQ(r, month[i]) << i;
    });
    EXPECT_EQ(next, month.size());
    EXPECT_EQ(compact.SharedCount(), 3u);

    // Past the few parts that are looked through, the ordered index finds them:
    // forty connections in turn, each found again rather than added twice.
    CompactRecords many;
    std::vector<SessionRecord> expected;
    for (std::uint32_t i = 0; i < 120; ++i) {
        SessionRecord r = Finished(kNow + i * 3600, 60);
        r.SetName("VPN " + std::to_string(i % 40));
        many.PushBack(r);
        expected.push_back(r);
    }
    EXPECT_EQ(many.SharedCount(), 40u);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(many[i], expected[i]);
}

}  // namespace
}  // namespace hourlink
