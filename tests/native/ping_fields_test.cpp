// The ping tool's numeric fields: what the dialog accepts and how it refuses
// the rest, a time-out of 0 and sizes beyond one datagram included.
#include <gtest/gtest.h>

#include <string>

#include "core/ui/ping_fields.h"

namespace hourlink {
namespace {

TEST(PingFields, TimeoutAndSizeGuards) {
    const std::wstring notPositive = L"“请填入一个正整数。”";
    struct Case {
        const wchar_t* text;
        std::optional<int> timeout;
        std::wstring timeoutMessage;
        std::optional<int> size;
        std::wstring sizeMessage;
    };
    const Case cases[] = {
        {L"1000", 1000, L"", 1000, L""},
        {L" 64 ", 64, L"", 64, L""},
        // 0 waits for ever as a time-out; as a size it is an empty payload.
        {L"0", std::nullopt, notPositive, 0, L""},
        {L"65500", 65500, L"", 65500, L""},
        {L"65501", 65501, L"", std::nullopt, L"“请填入一个在0和65500之间的整数。”"},
        // Beyond int: a time-out would wrap into "no time-out".
        {L"2147483648", std::nullopt, L"“请填入一个在1和2147483647之间的整数。”", std::nullopt,
         L"“请填入一个在0和65500之间的整数。”"},
        {L"4294967296", std::nullopt, notPositive, std::nullopt, notPositive},
        {L"-1", std::nullopt, notPositive, std::nullopt, notPositive},
        {L"+5", std::nullopt, notPositive, std::nullopt, notPositive},
        {L"1e3", std::nullopt, notPositive, std::nullopt, notPositive},
        {L"", std::nullopt, notPositive, std::nullopt, notPositive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "text #" << (&c - cases));
        const auto timeout = ping_fields::CheckTimeout(c.text);
        EXPECT_EQ(timeout.value, c.timeout);
        EXPECT_EQ(timeout.message, c.timeoutMessage);
        const auto size = ping_fields::CheckMessageSize(c.text);
        EXPECT_EQ(size.value, c.size);
        EXPECT_EQ(size.message, c.sizeMessage);
    }
}

}  // namespace
}  // namespace hourlink
