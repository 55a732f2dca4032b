// The drop window's colours, the tray tip's cut and where the drop window
// shows again on the monitors there are.
#include "core/ui/tray_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/ui/screen_placement.h"

namespace hourlink {
namespace {

TEST(DropThemes, LimitColoursOverrideEveryTheme) {
    EXPECT_EQ(Rgb(1, 2, 3), 0x030201u);  // COLORREF order
    const auto normal = FindDropTheme(kDefaultThemeCommand);
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->background, Rgb(0, 0, 0));
    EXPECT_EQ(DropTextColour(*normal, DropAlarmState::kNone), Rgb(0, 255, 0));
    for (const DropTheme& theme : kDropThemes) {
        EXPECT_EQ(DropTextColour(theme, DropAlarmState::kMonth), Rgb(255, 0, 0));
        EXPECT_EQ(DropTextColour(theme, DropAlarmState::kDay), Rgb(255, 255, 0));
    }
    EXPECT_EQ(FindDropTheme(32803)->background, Rgb(255, 102, 102));
    EXPECT_FALSE(FindDropTheme(32796));
    EXPECT_FALSE(FindDropTheme(32804));
}

TEST(TrayTip, LongTipsAreCutToTheBufferAtACharacterBoundary) {
    const std::wstring tip =
        L"超时\n累计用时:100小时,10分钟\n 今日用时:01:02:03\r\n   本次:1:02:03";
    EXPECT_EQ(CutTipText(tip, 128), tip);
    EXPECT_EQ(CutTipText(tip, 5), tip.substr(0, 4));
    EXPECT_EQ(CutTipText(L"abc", 1), L"");
    EXPECT_EQ(CutTipText(L"abc", 0), L"");
    if constexpr (sizeof(wchar_t) == 2) {
        const std::wstring pair = L"ab\xD83D\xDE00";  // U+1F600: never half of it
        EXPECT_EQ(CutTipText(pair, 4), L"ab");
        EXPECT_EQ(CutTipText(pair, 5), pair);
    }
}

constexpr int kWidth = 125, kHeight = 50, kIcon = 32;
// 1024 x 768 with a 30-pixel task bar, and a monitor to its right, lower down.
const MonitorArea kPrimary{{0, 0, 1024, 768}, {0, 0, 1024, 738}};
const MonitorArea kRight{{1024, 100, 2944, 1180}, {1024, 100, 2944, 1180}};

ScreenPoint Place(std::vector<MonitorArea> monitors, int left, int top) {
    return PlaceOnMonitors(WindowPlacement{1, top, left, top + kHeight, left + kWidth}, monitors,
                           kWidth, kHeight, kIcon, kIcon);
}

TEST(DropPlacement, OneMonitorPullsBackBeyondTheEdgesAndFindsLostWindows) {
    struct Case {
        int left, top;
        ScreenPoint expected;
    } const cases[] = {
        {200, 300, {200, 300}},            // on the screen: as saved
        {5000, 300, {1024 - kIcon, 300}},  // beyond the right: an icon's width stays
        {200, 5000, {200, 768 - kIcon}},   // beyond the bottom: an icon's height stays
        {-5000, 300, {0, 300}},            // left of the screen: lost before, now at its edge
        {200, -900, {200, 0}},             // above it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Place({kPrimary}, c.left, c.top), c.expected) << c.left << "," << c.top;
    }
    // Hand-edited values at the top of the int range.
    const WindowPlacement far{1, INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    EXPECT_EQ(PlaceOnMonitors(far, std::vector{kPrimary}, kWidth, kHeight, kIcon, kIcon),
              (ScreenPoint{1024 - kIcon, 768 - kIcon}));
    // Nothing saved (a value missing): the screen's corner.
    EXPECT_EQ(PlaceOnMonitors(std::nullopt, std::vector{kPrimary}, kWidth, kHeight, kIcon, kIcon),
              (ScreenPoint{0, 0}));
}

TEST(DropPlacement, ASecondMonitorKeepsItsWindowsAndGapsMoveToTheNearest) {
    EXPECT_EQ(Place({kPrimary, kRight}, 2000, 500), (ScreenPoint{2000, 500}));
    EXPECT_EQ(Place({kPrimary, kRight}, 4000, 500), (ScreenPoint{2944 - kIcon, 500}));
    // Below the primary, where no monitor is: into the nearer right one.
    EXPECT_EQ(Place({kPrimary, kRight}, 900, 900), (ScreenPoint{1024, 900}));
    // The right monitor unplugged: back on the primary.
    EXPECT_EQ(Place({kPrimary}, 2000, 500), (ScreenPoint{1024 - kIcon, 500}));
}

}  // namespace
}  // namespace hourlink
