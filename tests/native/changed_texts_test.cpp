// What a tick sends on: changed texts only, pane widths when a length moves,
// and the tray tip by the minute unless it is shown.
#include "core/ui/changed_texts.h"

#include <gtest/gtest.h>

#include "core/settings/cached_settings_store.h"
#include "core/settings/memory_settings_store.h"

namespace hourlink {
namespace {

TEST(ChangedTextsTest, ASlotIsSetOnlyWhenItsTextChangesAndAgainAfterForget) {
    TextSlots slots(2);
    EXPECT_TRUE(slots.Take(0, L""));  // the first text is set, even an empty one
    EXPECT_FALSE(slots.Take(0, L""));
    EXPECT_TRUE(slots.Take(1, L"0:00:01"));
    EXPECT_FALSE(slots.Take(1, L"0:00:01"));
    EXPECT_TRUE(slots.Take(1, L"0:00:02"));
    EXPECT_TRUE(slots.Take(7, L"x"));  // out of range: set, never kept
    slots.Forget();
    EXPECT_TRUE(slots.Take(1, L"0:00:02"));
    EXPECT_FALSE(PaneNeedsMeasure(L"收到999", L"收到123"));
    EXPECT_TRUE(PaneNeedsMeasure(L"收到999", L"收到1000"));
}

TEST(ChangedTextsTest, SecondsAreDroppedOnlyFromClockTimes) {
    const struct {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"本次:1:02:03", L"本次:1:02"},
        {L"今日用时:00:59:59\r\n本次:12:00:00", L"今日用时:00:59\r\n本次:12:00"},
        {L"累计用时:2小时,5分钟", L"累计用时:2小时,5分钟"},
        {L"10:20", L"10:20"},        // no seconds
        {L"1:02:034", L"1:02:034"},  // not a clock
        {L"时:12:34", L"时:12:34"},  // no hours before the minutes
    };
    for (const auto& c : cases) EXPECT_EQ(WithoutSeconds(c.text), c.expected) << c.text;
}

TEST(ChangedTextsTest, TheTipGoesByTheMinuteUnlessShownAndCatchesUpWhenItOpens) {
    TrayTipSchedule tip;
    EXPECT_TRUE(tip.Offer(L"超时\n本次:0:00:59"));
    EXPECT_FALSE(tip.Offer(L"超时\n本次:0:00:58"));  // only the seconds moved
    EXPECT_TRUE(tip.Offer(L"本次:0:00:58"));         // more than the seconds
    EXPECT_FALSE(tip.Offer(L"本次:0:00:59"));
    EXPECT_TRUE(tip.Offer(L"本次:0:01:00"));  // a new minute
    EXPECT_FALSE(tip.Offer(L"本次:0:01:01"));
    EXPECT_FALSE(tip.Offer(L"本次:0:01:01\r\n流量:1.2 MB/2 GB"));  // the data waits too
    EXPECT_TRUE(tip.Offer(L"本次:0:02:00\r\n流量:1.3 MB/2 GB"));
    EXPECT_FALSE(tip.Offer(L"本次:0:02:01\r\n流量:1.4 MB/2 GB"));
    EXPECT_TRUE(tip.SetShown(true));  // it opens behind: sent at once
    EXPECT_EQ(tip.Sent(), L"本次:0:02:01\r\n流量:1.4 MB/2 GB");
    EXPECT_TRUE(tip.Offer(L"本次:0:02:02"));  // shown: every second
    EXPECT_FALSE(tip.Offer(L"本次:0:02:02"));
    EXPECT_FALSE(tip.SetShown(false));
    EXPECT_FALSE(tip.Offer(L"本次:0:02:03"));
    EXPECT_FALSE(tip.SetShown(true) && tip.SetShown(true));  // nothing new the second time
}

TEST(ChangedTextsTest, AHiddenWindowsTickTextsWaitLatestOnlyAndEventsWin) {
    HeldTexts held;
    EXPECT_TRUE(held.Offer(3, L"0:00:01", true));
    EXPECT_FALSE(held.Offer(3, L"0:00:02", false));
    EXPECT_FALSE(held.Offer(3, L"0:00:03", false));
    EXPECT_FALSE(held.Offer(0, L"网络已经空闲5秒", false));
    EXPECT_FALSE(held.Offer(1, L"收到10", false));
    held.Drop(0);  // "LAN离线" was set meanwhile
    using Held = std::vector<std::pair<std::size_t, std::wstring>>;
    EXPECT_EQ(held.TakeAll(), (Held{{1, L"收到10"}, {3, L"0:00:03"}}));
    EXPECT_EQ(held.TakeAll(), Held{});
}

TEST(ChangedTextsTest, CachedSettingsReadOnceUntilForgottenOrWritten) {
    MemorySettingsStore store;
    CachedSettingsStore cache(store);
    store.WriteInt(L"Advance", L"idel", 5);
    EXPECT_EQ(cache.ReadInt(L"Advance", L"idel", 1), 5);
    EXPECT_EQ(cache.ReadInt(L"Advance", L"none", 1), 1);
    EXPECT_EQ(cache.ReadInt(L"Advance", L"none", 2), 2);  // each default its own answer
    store.WriteInt(L"Advance", L"idel", 9);               // behind its back
    EXPECT_EQ(cache.ReadInt(L"Advance", L"idel", 1), 5);
    cache.Forget();
    EXPECT_EQ(cache.ReadInt(L"Advance", L"idel", 1), 9);
    cache.WriteString(L"Advance", L"idel", L"x");  // its own write, as another type
    EXPECT_EQ(cache.ReadInt(L"Advance", L"idel", 1), store.ReadInt(L"Advance", L"idel", 1));
    EXPECT_EQ(cache.ReadString(L"Advance", L"idel", L""), L"x");
}

}  // namespace
}  // namespace hourlink
