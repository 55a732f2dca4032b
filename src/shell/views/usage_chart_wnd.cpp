#include "shell/views/usage_chart_wnd.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/base/time_format.h"
#include "res/resource.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace hourlink {

namespace {

constexpr wchar_t kClassName[] = L"Hourlink.UsageChart";
constexpr wchar_t kTitle[] = L"用时图表";

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kText = RGB(32, 32, 32);
constexpr COLORREF kMuted = RGB(110, 110, 110);
constexpr COLORREF kGrid = RGB(228, 228, 228);
constexpr COLORREF kAxis = RGB(150, 150, 150);
constexpr COLORREF kBar = RGB(0x33, 0x66, 0xCC);  // the program's blue
constexpr COLORREF kToday = RGB(0x1A, 0x44, 0x99);
constexpr COLORREF kLimit = RGB(0xD9, 0x3A, 0x2F);
constexpr COLORREF kPace = RGB(140, 140, 140);
constexpr COLORREF kProjection = RGB(0xF0, 0x8A, 0x24);
constexpr COLORREF kGood = RGB(0x2E, 0x8B, 0x3E);

// The window's DPI: GetDpiForWindow where the system has it (Windows 10
// 1607 on), else the screen's.
UINT WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && hwnd) {
        if (const UINT dpi = getDpi(hwnd)) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

widgets::OwnedPen Pen(COLORREF colour, int width, bool dashed = false) {
    LOGBRUSH brush{BS_SOLID, colour, 0};
    const DWORD style = PS_GEOMETRIC | (dashed ? PS_DASH : PS_SOLID) | PS_ENDCAP_FLAT;
    return widgets::OwnedPen(
        ExtCreatePen(style, static_cast<DWORD>(std::max(1, width)), &brush, 0, nullptr));
}

void DrawSegment(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void DrawLabel(HDC dc, int x, int y, const std::wstring& text, COLORREF colour,
               UINT align = TA_LEFT) {
    SetTextColor(dc, colour);
    SetTextAlign(dc, align | TA_TOP);
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

int TextHeight(HDC dc) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    return tm.tmHeight;
}

std::wstring Hours(int hours) {
    return std::to_wstring(hours);
}

}  // namespace

CUsageChartWnd::~CUsageChartWnd() {
    Destroy();
}

bool CUsageChartWnd::Open(HWND owner, Source source) {
    if (!source.list || !source.settings || !source.clock) return false;
    source_ = std::move(source);
    if (!Hwnd()) {
        win::WindowClass wc;
        wc.name = kClassName;
        wc.icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                                MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 0, 0,
                                                LR_DEFAULTSIZE | LR_SHARED));
        wc.background = nullptr;  // painted whole, from a memory bitmap
        win::CreateArgs args;
        args.parent = owner;  // owned: above the main window, gone with it
        args.title = kTitle;
        args.style = WS_OVERLAPPEDWINDOW;
        if (!win::Window::Create(wc, args)) return false;
        // Sized for the DPI of where it landed.
        SetDpi(WindowDpi(Hwnd()));
        SetWindowPos(Hwnd(), nullptr, 0, 0, Scale(680), Scale(520),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Update();
    ShowWindow(Hwnd(), IsIconic(Hwnd()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(Hwnd());
    return true;
}

void CUsageChartWnd::Update() {
    if (!Hwnd() || !source_.list) return;
    const std::int64_t running = source_.runningSeconds ? source_.runningSeconds() : 0;
    chart_ = MakeUsageChart(*source_.list, *source_.settings, source_.clock->Now(), running);
    texts_ = MakeUsageChartTexts(chart_);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CUsageChartWnd::SetDpi(UINT dpi) {
    dpi_ = dpi ? dpi : 96;
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfHeight = -Scale(13);
    lf.lfWidth = 0;
    lf.lfQuality = CLEARTYPE_QUALITY;
    font_.Reset(CreateFontIndirectW(&lf));
    lf.lfHeight = -Scale(16);
    lf.lfWeight = FW_BOLD;
    titleFont_.Reset(CreateFontIndirectW(&lf));
}

LRESULT CUsageChartWnd::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_SIZE:
            InvalidateRect(Hwnd(), nullptr, FALSE);
            break;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lp);
            info->ptMinTrackSize = {Scale(420), Scale(360)};
            return 0;
        }
        case WM_DPICHANGED: {
            SetDpi(HIWORD(wp));
            const auto* r = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(Hwnd(), nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(Hwnd(), nullptr, FALSE);
            return 0;
        }
    }
    return Window::WndProc(msg, wp, lp);
}

void CUsageChartWnd::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Hwnd(), &ps);
    RECT client{};
    GetClientRect(Hwnd(), &client);
    if (client.right > 0 && client.bottom > 0) {
        // Drawn whole into a memory bitmap, then copied: no flicker.
        widgets::OwnedDc memory(CreateCompatibleDC(dc));
        widgets::OwnedBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
        if (memory && bitmap) {
            widgets::Selection selected(memory.Get(), bitmap.Get());
            Draw(memory.Get(), client);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory.Get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(Hwnd(), &ps);
}

void CUsageChartWnd::Draw(HDC dc, const RECT& client) const {
    widgets::OwnedBrush background(CreateSolidBrush(kBackground));
    FillRect(dc, &client, background.Get());
    SetBkMode(dc, TRANSPARENT);
    const int margin = Scale(12);
    int y = margin;
    {
        widgets::Selection font(dc, titleFont_.Get());
        DrawLabel(dc, margin, y, texts_.title, kText);
        y += TextHeight(dc) + Scale(4);
    }
    widgets::Selection font(dc, font_.Get());
    const int line = TextHeight(dc);
    DrawLabel(dc, margin, y, texts_.summary, kText);
    y += line + Scale(2);
    const bool warning =
        chart_.outlook == UsageOutlook::kReached || chart_.outlook == UsageOutlook::kWillReach;
    DrawLabel(dc, margin, y, texts_.projection, warning ? kLimit : kGood);
    y += line + Scale(10);

    const int remaining = client.bottom - margin - y;
    if (remaining < Scale(120) || chart_.days.empty()) return;
    const int upperHeight = remaining * 9 / 20;
    const RECT upper{margin, y, client.right - margin, y + upperHeight};
    const RECT lower{margin, upper.bottom + Scale(10), client.right - margin,
                     client.bottom - margin};
    DrawDailyBars(dc, upper);
    DrawMonthTotal(dc, lower);
}

namespace {

// A panel's plot area under its caption, with room for the value labels on
// the left, the line labels on the right and the day labels below.
struct Plot {
    RECT r{};
    HourAxis axis;
    int Width() const { return r.right - r.left; }
    int Height() const { return r.bottom - r.top; }
    int Y(std::int64_t seconds) const {
        const std::int64_t top = std::int64_t{axis.top} * 3600;
        const std::int64_t clamped = std::clamp<std::int64_t>(seconds, 0, top);
        return r.bottom - static_cast<int>(clamped * Height() / std::max<std::int64_t>(1, top));
    }
};

}  // namespace

int CUsageChartWnd::LabelRoom(HDC dc) const {
    // The widest of the line labels right of the plots, so both plots align.
    int widest = 0;
    for (const std::wstring& label :
         {L"每日限额" + Hours(static_cast<int>(chart_.dayLimit / 3600)) + L"小时",
          L"每月限额" + Hours(static_cast<int>(chart_.limit / 3600)) + L"小时",
          L"预计" + Hours(static_cast<int>((chart_.projected + 1800) / 3600)) + L"小时"}) {
        SIZE size{};
        GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    return widest + Scale(8);
}

void CUsageChartWnd::DrawLegend(HDC dc, int right, int y) const {
    // From the right: each line's sample and what it means.
    const int line = TextHeight(dc);
    const int sample = Scale(18);
    int x = right;
    const struct {
        COLORREF colour;
        int width;
        bool dashed;
        const wchar_t* text;
    } entries[] = {{kPace, 1, true, L"均匀用到限额"},
                   {kProjection, 2, true, L"按目前速度"},
                   {kBar, 2, false, L"已用"}};
    for (const auto& e : entries) {
        const std::wstring text = e.text;
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        x -= size.cx;
        DrawLabel(dc, x, y, text, kMuted);
        x -= Scale(4) + sample;
        widgets::OwnedPen pen = Pen(e.colour, Scale(e.width), e.dashed);
        widgets::Selection selected(dc, pen.Get());
        DrawSegment(dc, x, y + line / 2, x + sample, y + line / 2);
        x -= Scale(14);
    }
}

void CUsageChartWnd::DrawDayLabels(HDC dc, const RECT& plot, int y) const {
    const int n = static_cast<int>(chart_.days.size());
    const int width = plot.right - plot.left;
    SIZE label{};
    GetTextExtentPoint32W(dc, L"00", 2, &label);
    int every = 1;
    for (int step : {1, 2, 3, 5, 7, 10}) {
        every = step;
        if (width * step / n >= label.cx + Scale(6)) break;
    }
    for (int i = 0; i < n; i += every) {
        const CalendarDate& d = chart_.days[static_cast<std::size_t>(i)].date;
        const int x = plot.left + (2 * i + 1) * width / (2 * n);
        const std::wstring text = (i == 0 || d.day == 1)
                                      ? std::to_wstring(d.month) + L"/" + std::to_wstring(d.day)
                                      : std::to_wstring(d.day);
        DrawLabel(dc, x, y, text, i == chart_.today ? kText : kMuted, TA_CENTER);
    }
}

RECT CUsageChartWnd::PlotArea(HDC dc, const RECT& area, int line) const {
    return {area.left + Scale(30), area.top + line + Scale(6), area.right - LabelRoom(dc),
            area.bottom - line - Scale(4)};
}

void CUsageChartWnd::DrawHourGrid(HDC dc, const RECT& r, const HourAxis& axis, int line) const {
    Plot plot;
    plot.r = r;
    plot.axis = axis;
    widgets::OwnedPen grid = Pen(kGrid, 1);
    widgets::Selection pen(dc, grid.Get());
    for (int h = 0; h <= axis.top; h += axis.step) {
        const int y = plot.Y(std::int64_t{h} * 3600);
        DrawSegment(dc, r.left, y, r.right, y);
        DrawLabel(dc, r.left - Scale(6), y - line / 2, Hours(h), kMuted, TA_RIGHT);
    }
}

void CUsageChartWnd::DrawBaseline(HDC dc, const RECT& r) const {
    widgets::OwnedPen axis = Pen(kAxis, Scale(1));
    widgets::Selection pen(dc, axis.Get());
    DrawSegment(dc, r.left, r.bottom, r.right, r.bottom);
}

void CUsageChartWnd::DrawDailyBars(HDC dc, const RECT& area) const {
    const int line = TextHeight(dc);
    DrawLabel(dc, area.left, area.top, L"每日上网用时 (小时)", kText);
    std::int64_t highest = chart_.dayLimit;
    for (const UsageDay& d : chart_.days) highest = std::max(highest, d.online);
    Plot plot;
    plot.axis = ChooseHourAxis(highest);
    plot.r = PlotArea(dc, area, line);
    if (plot.Width() <= 0 || plot.Height() <= 0) return;

    DrawHourGrid(dc, plot.r, plot.axis, line);
    const int n = static_cast<int>(chart_.days.size());
    const int gap = std::max(1, plot.Width() / n / 6);
    for (int i = 0; i < n; ++i) {
        const UsageDay& d = chart_.days[static_cast<std::size_t>(i)];
        if (d.online <= 0) continue;
        const COLORREF colour = d.online >= chart_.dayLimit && chart_.dayLimit > 0
                                    ? kLimit
                                    : (i == chart_.today ? kToday : kBar);
        widgets::OwnedBrush brush(CreateSolidBrush(colour));
        const RECT bar{plot.r.left + i * plot.Width() / n + gap, plot.Y(d.online),
                       plot.r.left + (i + 1) * plot.Width() / n - gap, plot.r.bottom};
        FillRect(dc, &bar, brush.Get());
    }
    DrawBaseline(dc, plot.r);
    // The daily limit.
    widgets::OwnedPen limit = Pen(kLimit, Scale(2), true);
    {
        widgets::Selection pen(dc, limit.Get());
        const int y = plot.Y(chart_.dayLimit);
        DrawSegment(dc, plot.r.left, y, plot.r.right, y);
        DrawLabel(dc, plot.r.right + Scale(4), y - line / 2,
                  L"每日限额" + Hours(static_cast<int>(chart_.dayLimit / 3600)) + L"小时", kLimit);
    }
    DrawDayLabels(dc, plot.r, plot.r.bottom + Scale(3));
}

void CUsageChartWnd::DrawMonthTotal(HDC dc, const RECT& area) const {
    const int line = TextHeight(dc);
    DrawLabel(dc, area.left, area.top, L"本月累计计费用时 (小时)", kText);
    DrawLegend(dc, area.right, area.top);
    const bool current =
        chart_.elapsedDays > 0 && chart_.elapsedDays < static_cast<int>(chart_.days.size());
    std::int64_t highest = std::max(chart_.limit, chart_.used);
    if (current) highest = std::max(highest, chart_.projected);
    for (const UsageDay& d : chart_.days) highest = std::max(highest, d.cumulative);
    Plot plot;
    plot.axis = ChooseHourAxis(highest);
    plot.r = PlotArea(dc, area, line);
    if (plot.Width() <= 0 || plot.Height() <= 0) return;
    const int n = static_cast<int>(chart_.days.size());
    const auto xAfter = [&](int days) { return plot.r.left + days * plot.Width() / n; };

    DrawHourGrid(dc, plot.r, plot.axis, line);
    DrawBaseline(dc, plot.r);
    // The even pace to the limit, and the limit.
    widgets::OwnedPen pace = Pen(kPace, Scale(1), true);
    {
        widgets::Selection pen(dc, pace.Get());
        DrawSegment(dc, xAfter(0), plot.Y(0), xAfter(n), plot.Y(chart_.limit));
    }
    widgets::OwnedPen limit = Pen(kLimit, Scale(2));
    {
        widgets::Selection pen(dc, limit.Get());
        const int y = plot.Y(chart_.limit);
        DrawSegment(dc, plot.r.left, y, plot.r.right, y);
        DrawLabel(dc, plot.r.right + Scale(4), y - line / 2,
                  L"每月限额" + Hours(static_cast<int>(chart_.limit / 3600)) + L"小时", kLimit);
    }
    // The month so far, day by day, and on from today at the average pace.
    if (chart_.elapsedDays > 0) {
        widgets::OwnedPen used = Pen(kBar, Scale(2));
        widgets::Selection pen(dc, used.Get());
        const UsageDay& first = chart_.days.front();
        MoveToEx(dc, xAfter(0), plot.Y(first.cumulative - first.billed), nullptr);
        for (int i = 0; i < chart_.elapsedDays; ++i) {
            LineTo(dc, xAfter(i + 1), plot.Y(chart_.days[static_cast<std::size_t>(i)].cumulative));
        }
    }
    if (current) {
        widgets::OwnedPen projection = Pen(kProjection, Scale(2), true);
        widgets::Selection pen(dc, projection.Get());
        const int yEnd = plot.Y(chart_.projected);
        DrawSegment(dc, xAfter(chart_.elapsedDays), plot.Y(chart_.used), xAfter(n), yEnd);
        // Below the limit's label when the two would meet.
        const int yLimit = plot.Y(chart_.limit);
        const int yText = std::abs(yEnd - yLimit) < line ? yLimit + line / 2 : yEnd - line / 2;
        DrawLabel(dc, plot.r.right + Scale(4), yText,
                  L"预计" + Hours(static_cast<int>((chart_.projected + 1800) / 3600)) + L"小时",
                  kProjection);
    }
    // The day the limit is (or was) reached.
    if (chart_.limitDay >= 0) {
        widgets::OwnedPen marker = Pen(kLimit, Scale(1), true);
        widgets::Selection pen(dc, marker.Get());
        const int x = xAfter(chart_.limitDay + 1);
        DrawSegment(dc, x, plot.r.top, x, plot.r.bottom);
        const CalendarDate& d = chart_.days[static_cast<std::size_t>(chart_.limitDay)].date;
        DrawLabel(dc, x - Scale(4), plot.r.top,
                  std::to_wstring(d.month) + L"月" + std::to_wstring(d.day) + L"日", kLimit,
                  TA_RIGHT);
    }
    DrawDayLabels(dc, plot.r, plot.r.bottom + Scale(3));
}

}  // namespace hourlink
