// The bytes the program stores and the texts it shows: record and header
// layouts, billing, name cutting, the C runtime's random sequence and the two
// time formats.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "core/base/msvc_rand.h"
#include "core/base/session_record.h"
#include "core/base/time_format.h"
#include "time_zone.h"

namespace hourlink {
namespace {

SessionRecord FullRecord() {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = 0x11223344;
    r.end = 0x55667788;
    r.duration = -2;
    r.SetName("ADSL");
    r.billed = 0x0A0B0C0D;
    r.lineSpeed = 0xCAFEBABE;
    r.type = 3;
    r.SetClientIp("192.168.100.200");
    r.bytesReceived = 0x01020304;
    r.reserved72 = 0;
    r.bytesSent = 0xF1F2F3F4;
    r.continuation = 2;
    return r;
}

TEST(RecordLayout, FieldsLieAtTheirOffsetsLittleEndian) {
    const RecordBytes b = EncodeRecord(FullRecord());
    EXPECT_EQ(b[0], 0x20);
    EXPECT_EQ(b[1] | b[2] | b[3], 0);
    EXPECT_EQ((std::array<int, 4>{b[4], b[5], b[6], b[7]}),
              (std::array<int, 4>{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ((std::array<int, 4>{b[8], b[9], b[10], b[11]}),
              (std::array<int, 4>{0x88, 0x77, 0x66, 0x55}));
    EXPECT_EQ((std::array<int, 4>{b[12], b[13], b[14], b[15]}),
              (std::array<int, 4>{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[16]), 5), std::string("ADSL\0", 5));
    EXPECT_EQ((std::array<int, 4>{b[40], b[41], b[42], b[43]}),
              (std::array<int, 4>{0x0D, 0x0C, 0x0B, 0x0A}));
    EXPECT_EQ((std::array<int, 4>{b[44], b[45], b[46], b[47]}),
              (std::array<int, 4>{0xBE, 0xBA, 0xFE, 0xCA}));
    EXPECT_EQ(b[48], 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[49])), "192.168.100.200");
    EXPECT_EQ(b[64], 0);  // the address's NUL
    EXPECT_EQ((std::array<int, 4>{b[68], b[69], b[70], b[71]}),
              (std::array<int, 4>{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(b[72] | b[73] | b[74] | b[75], 0);
    EXPECT_EQ((std::array<int, 4>{b[76], b[77], b[78], b[79]}),
              (std::array<int, 4>{0xF4, 0xF3, 0xF2, 0xF1}));
    EXPECT_EQ(b[80], 2);
    EXPECT_EQ(b[81] | b[82] | b[83], 0);
}

TEST(RecordLayout, RoundTripsEveryField) {
    const SessionRecord r = FullRecord();
    const RecordBytes b = EncodeRecord(r);
    EXPECT_EQ(DecodeRecord(b.data()), r);
    // And the bytes of a decoded record encode to the same bytes.
    EXPECT_EQ(EncodeRecord(DecodeRecord(b.data())), b);
}

TEST(RecordLayout, NameFieldAlwaysEndsInNul) {
    SessionRecord r;
    r.name.fill('x');  // a name field filled to the brim, as a damaged file may hold
    const RecordBytes b = EncodeRecord(r);
    EXPECT_EQ(b[39], 0);
    EXPECT_EQ(DecodeRecord(b.data()).Name().size(), kMaxNameBytes + 1);
}

TEST(RecordLayout, UnterminatedAddressIsReadWithinItsField) {
    RecordBytes b{};
    for (std::size_t i = 49; i < 68; ++i) b[i] = '7';
    b[68] = '9';  // the next field must not leak into the address
    EXPECT_EQ(DecodeRecord(b.data()).ClientIp(), std::string(19, '7'));
}

TEST(HeaderLayout, FieldsLieAtTheirOffsetsAndRoundTrip) {
    RecordFileHeader h;
    h.time = 0x61626364;
    h.purgeCountdown = 254;
    h.dropCount = -3;
    h.recordCount = 0x00010203;
    const HeaderBytes b = EncodeHeader(h);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data()), 4), std::string("12\0\0", 4));
    EXPECT_EQ((std::array<int, 4>{b[4], b[5], b[6], b[7]}),
              (std::array<int, 4>{0x64, 0x63, 0x62, 0x61}));
    EXPECT_EQ(b[8], 254);
    EXPECT_EQ(b[9] | b[10] | b[11], 0);
    EXPECT_EQ((std::array<int, 4>{b[12], b[13], b[14], b[15]}),
              (std::array<int, 4>{0xFD, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ((std::array<int, 4>{b[16], b[17], b[18], b[19]}),
              (std::array<int, 4>{0x03, 0x02, 0x01, 0x00}));
    EXPECT_EQ((std::array<int, 4>{b[20], b[21], b[22], b[23]}), (std::array<int, 4>{32, 0, 0, 0}));
    EXPECT_EQ((std::array<int, 4>{b[24], b[25], b[26], b[27]}), (std::array<int, 4>{84, 0, 0, 0}));
    EXPECT_EQ(b[28] | b[29] | b[30] | b[31], 0);
    EXPECT_EQ(DecodeHeader(b.data()), h);
}

TEST(Billing, RoundsToWholeMinutesWithTwoSecondsGrace) {
    struct Case {
        std::int32_t duration, billed;
    };
    for (const Case c :
         {Case{0, 0}, Case{1, 0}, Case{59, 60}, Case{60, 60}, Case{61, 60}, Case{62, 120},
          Case{119, 120}, Case{120, 120}, Case{121, 120}, Case{600, 600}, Case{635, 660}}) {
        EXPECT_EQ(BilledSeconds(c.duration), c.billed) << "duration " << c.duration;
    }
}

TEST(Billing, HugeDurationStaysAWholeNumberOfMinutesWithoutOverflow) {
    // Rounding up would pass INT32_MAX; the result must still be whole minutes.
    const std::int32_t billed = BilledSeconds(INT_MAX);
    EXPECT_EQ(billed % 60, 0);
    EXPECT_GT(billed, INT_MAX - 60);
    EXPECT_EQ(BilledSeconds(INT_MAX - 7), INT_MAX - 7);  // 2147483640 is whole minutes
}

TEST(Billing, CompleteSetsEndDurationAndBilled) {
    SessionRecord r;
    r.start = 1'000'000;
    r.Complete(635);
    EXPECT_EQ(r.duration, 635);
    EXPECT_EQ(r.end, 1'000'635u);
    EXPECT_EQ(r.billed, 660);
    EXPECT_FALSE(r.IsOpen());
}

TEST(RecordName, ThirtyCharacterNameKeepsFirst22) {
    SessionRecord r;
    r.SetName("abcdefghijklmnopqrstuvwxyz0123");
    EXPECT_EQ(r.Name(), "abcdefghijklmnopqrstuv");
    EXPECT_EQ(r.name[22], 0);
    EXPECT_EQ(r.name[23], 0);
}

TEST(RecordName, NeverSplitsADoubleByteCharacter) {
    const std::string zhong = "\xD6\xD0";  // 中 in GBK
    // "a" then 14 two-byte characters: 29 bytes. 22 bytes would end inside the
    // eleventh character, so only ten of them are kept.
    std::string name = "a";
    for (int i = 0; i < 14; ++i) name += zhong;
    SessionRecord r;
    r.SetName(name);
    EXPECT_EQ(r.Name(), name.substr(0, 21));
    EXPECT_EQ(r.name[21], 0);

    // Fifteen two-byte characters (30 bytes) cut exactly at 22.
    std::string wide;
    for (int i = 0; i < 15; ++i) wide += zhong;
    r.SetName(wide);
    EXPECT_EQ(r.Name(), wide.substr(0, 22));

    // A short name replaces a long one completely.
    r.SetName("LAN");
    EXPECT_EQ(r.Name(), "LAN");
    EXPECT_EQ(r.name[4], 0);
}

TEST(RecordAddress, LongerAddressIsCutToFifteen) {
    SessionRecord r;
    r.SetClientIp("1234567890123456789");
    EXPECT_EQ(r.ClientIp(), "123456789012345");
}

TEST(MsvcRand, ReproducesTheCRuntimeSequence) {
    MsvcRand rand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(rand.Next(), value);

    rand.Seed(1);  // reseeding starts the sequence again
    EXPECT_EQ(rand.Next(), 41);
    rand.Seed(0);
    EXPECT_EQ(rand.Next(), 38);
}

TEST(FormatDuration, HoursAreNotWrappedAtADay) {
    EXPECT_EQ(FormatDuration(0), L"0:00:00");
    EXPECT_EQ(FormatDuration(59), L"0:00:59");
    EXPECT_EQ(FormatDuration(3661), L"1:01:01");
    EXPECT_EQ(FormatDuration(25 * 3600 + 61), L"25:01:01");
    EXPECT_EQ(FormatDuration(360000), L"100:00:00");
    EXPECT_EQ(FormatDuration(-61), L"-0:01:01");
}

class LocalTimeInUtc : public ::testing::Test {
  protected:
    test::ScopedTimeZone zone_{"UTC"};
};

TEST_F(LocalTimeInUtc, FormatsYearMonthDayAndTime) {
    EXPECT_EQ(FormatLocalTime(0), L"1970/01/01 00:00:00");
    EXPECT_EQ(FormatLocalTime(1700000000), L"2023/11/14 22:13:20");
    // The largest time a record can hold.
    EXPECT_EQ(FormatLocalTime(4294967295LL), L"2106/02/07 06:28:15");
}

}  // namespace
}  // namespace hourlink
