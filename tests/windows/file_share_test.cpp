// The Win32 file seam against the real API: share modes between a writer and a
// reader of the record file, reads and writes at offsets, and the file helpers.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/records/fix_len_rec_doc.h"
#include "shell/platform/win32_file_system.h"
#include "temp_dir.h"

namespace hourlink {
namespace {

using test::TempDir;

std::string ReadText(RandomAccessFile& file, std::uint64_t offset, std::size_t size) {
    std::string text(size, '\0');
    const std::optional<std::size_t> got = file.ReadAt(offset, text.data(), size);
    if (!got) return "<failed>";
    text.resize(*got);
    return text;
}

class Win32Files : public ::testing::Test {
  protected:
    TempDir dir;
    Win32FileSystem files;
};

TEST_F(Win32Files, WriterDeniesOtherWritersButLetsReadersIn) {
    const std::wstring path = dir.File(L"adsl.bs");
    OpenResult writer = files.Open(path, OpenMode::CreateReadWrite, ShareMode::DenyWrite);
    ASSERT_TRUE(writer.file) << writer.error;
    ASSERT_TRUE(writer.file->WriteAt(0, "hello", 5));

    OpenResult reader = files.Open(path, OpenMode::ReadOnly, ShareMode::DenyNone);
    ASSERT_TRUE(reader.file) << reader.error;
    EXPECT_EQ(ReadText(*reader.file, 0, 16), "hello");

    OpenResult second = files.Open(path, OpenMode::ReadWrite, ShareMode::DenyWrite);
    EXPECT_FALSE(second.file);
    EXPECT_EQ(second.error, ERROR_SHARING_VIOLATION);
    OpenResult creator = files.Open(path, OpenMode::CreateReadWrite, ShareMode::DenyWrite);
    EXPECT_FALSE(creator.file);
    EXPECT_EQ(creator.error, ERROR_SHARING_VIOLATION);

    // The reader sees what the writer writes later.
    ASSERT_TRUE(writer.file->WriteAt(5, " world", 6));
    EXPECT_EQ(ReadText(*reader.file, 0, 16), "hello world");

    writer.file.reset();
    OpenResult again = files.Open(path, OpenMode::ReadWrite, ShareMode::DenyWrite);
    EXPECT_TRUE(again.file) << again.error;
}

TEST_F(Win32Files, ReaderOpenFirstDoesNotKeepTheWriterOut) {
    const std::wstring path = dir.File(L"adsl.bs");
    ASSERT_TRUE(files.Open(path, OpenMode::CreateReadWrite, ShareMode::DenyWrite).file);
    OpenResult reader = files.Open(path, OpenMode::ReadOnly, ShareMode::DenyNone);
    ASSERT_TRUE(reader.file);
    OpenResult writer = files.Open(path, OpenMode::ReadWrite, ShareMode::DenyWrite);
    EXPECT_TRUE(writer.file) << writer.error;
}

TEST_F(Win32Files, OpenModesAndErrors) {
    const std::wstring path = dir.File(L"missing.bin");
    OpenResult missing = files.Open(path, OpenMode::ReadWrite, ShareMode::DenyWrite);
    EXPECT_FALSE(missing.file);
    EXPECT_EQ(missing.error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(files.Open(path, OpenMode::ReadOnly, ShareMode::DenyNone).error,
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(files.FileExists(path));

    OpenResult created = files.Open(path, OpenMode::CreateReadWrite, ShareMode::DenyWrite);
    ASSERT_TRUE(created.file);
    EXPECT_TRUE(files.FileExists(path));
    EXPECT_FALSE(files.FileExists(dir.path()));  // a directory is not a file

    // A read-only handle cannot write.
    created.file.reset();
    OpenResult readOnly = files.Open(path, OpenMode::ReadOnly, ShareMode::DenyNone);
    ASSERT_TRUE(readOnly.file);
    EXPECT_FALSE(readOnly.file->WriteAt(0, "x", 1));
}

TEST_F(Win32Files, ReadsAndWritesAtOffsets) {
    OpenResult opened =
        files.Open(dir.File(L"data.bin"), OpenMode::CreateReadWrite, ShareMode::DenyWrite);
    ASSERT_TRUE(opened.file);
    RandomAccessFile& file = *opened.file;
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(ReadText(file, 0, 10), "");  // nothing to read is not a failure

    ASSERT_TRUE(file.WriteAt(4, "WXYZ", 4));  // past the end: the gap reads as zeros
    EXPECT_EQ(file.Size(), 8u);
    EXPECT_EQ(ReadText(file, 0, 8), std::string("\0\0\0\0WXYZ", 8));
    ASSERT_TRUE(file.WriteAt(0, "ab", 2));
    EXPECT_EQ(ReadText(file, 0, 100), std::string("ab\0\0WXYZ", 8));  // short at the end
    EXPECT_EQ(ReadText(file, 6, 100), "YZ");
    EXPECT_EQ(ReadText(file, 50, 4), "");
    EXPECT_TRUE(file.Flush());

    ASSERT_TRUE(file.Truncate(5));
    EXPECT_EQ(file.Size(), 5u);
    EXPECT_EQ(ReadText(file, 0, 100), std::string("ab\0\0W", 5));
}

TEST_F(Win32Files, ReplaceAndRemove) {
    const std::wstring target = dir.File(L"adsl.bs");
    const std::wstring source = dir.File(L"adsl.new");
    ASSERT_TRUE(files.Open(target, OpenMode::CreateReadWrite, ShareMode::DenyWrite)
                    .file->WriteAt(0, "old", 3));
    ASSERT_TRUE(files.Open(source, OpenMode::CreateReadWrite, ShareMode::DenyWrite)
                    .file->WriteAt(0, "newer", 5));

    ASSERT_TRUE(files.Replace(source, target));
    EXPECT_FALSE(files.FileExists(source));
    OpenResult replaced = files.Open(target, OpenMode::ReadOnly, ShareMode::DenyNone);
    ASSERT_TRUE(replaced.file);
    EXPECT_EQ(ReadText(*replaced.file, 0, 10), "newer");
    replaced.file.reset();

    EXPECT_TRUE(files.RemoveFile(target));
    EXPECT_FALSE(files.FileExists(target));
    EXPECT_FALSE(files.RemoveFile(target));
}

// The record file's writer and reader on the real file system.
TEST_F(Win32Files, RecordFileWriterAndHistoryReaderShareTheFile) {
    ManualClock clock(1'700'000'000);
    SilentNotifier notifier;
    const std::wstring path = dir.File(L"adsl.bs");

    CFixLenRecDoc writer(files, clock, notifier);
    ASSERT_TRUE(writer.OpenForUpdate(path)) << writer.LastError();
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = 1'700'000'000;
    r.SetClientIp("10.1.2.3");
    ASSERT_EQ(writer.Append(r), 0u);
    ASSERT_EQ(writer.Append(r), 1u);

    CFixLenRecDoc reader(files, clock, notifier);
    ASSERT_TRUE(reader.OpenForRead(path)) << reader.LastError();
    EXPECT_EQ(reader.RecordCount(), 2u);
    EXPECT_EQ(reader.Header().purgeCountdown, 252);

    CFixLenRecDoc intruder(files, clock, notifier);
    EXPECT_FALSE(intruder.OpenForUpdate(path));
    EXPECT_EQ(intruder.LastError(), ERROR_SHARING_VIOLATION);

    r.Complete(62);
    ASSERT_TRUE(writer.Update(r, writer.RecordCount() - 1));
    RecordTable table;
    EXPECT_EQ(writer.LoadTable(table), CFixLenRecDoc::LoadResult::Loaded);
    ASSERT_EQ(table.Size(), 2u);
    EXPECT_EQ(table.Get(1)->billed, 120);

    // A path whose directory ends in a backslash gets no second one.
    writer.Close();
    CFixLenRecDoc again(files, clock, notifier);
    EXPECT_TRUE(again.OpenForUpdate(JoinPath(dir.path() + L"\\", L"adsl.bs")));
    EXPECT_EQ(again.RecordCount(), 2u);
}

}  // namespace
}  // namespace hourlink
