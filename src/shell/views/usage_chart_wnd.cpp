#include "shell/views/usage_chart_wnd.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "res/main_window_res.h"
#include "res/resource.h"
#include "shell/win/dpi.h"
#include "shell/win/message_loop.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace hourlink {

namespace {

constexpr wchar_t kClassName[] = L"Hourlink.UsageChart";

const wchar_t* TitleOf(UsageMeasure measure) {
    return measure == UsageMeasure::kData ? L"流量图表" : L"用时图表";
}

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

int TextWidth(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
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
        args.title = TitleOf(measure_);
        args.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        args.exStyle = WS_EX_CONTROLPARENT;
        if (!win::Window::Create(wc, args)) return false;
        // The mode buttons take Tab, the arrow keys and their mnemonics.
        win::MessageLoop::AddModeless(Hwnd());
        CreateModeButtons();
        // Sized for the DPI of where it landed.
        SetDpi(static_cast<UINT>(win::DpiOf(Hwnd())));
        SetWindowPos(Hwnd(), nullptr, 0, 0, Scale(680), Scale(550),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowMeasure();
    }
    Update();
    ShowWindow(Hwnd(), IsIconic(Hwnd()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(Hwnd());
    return true;
}

void CUsageChartWnd::Update() {
    if (!Hwnd() || !source_.list) return;
    const std::int64_t seconds = source_.runningSeconds ? source_.runningSeconds() : 0;
    const std::int64_t bytes = source_.runningBytes ? source_.runningBytes() : 0;
    chart_ = MakeUsageChart(*source_.list, *source_.settings, source_.clock->Now(), seconds, bytes,
                            measure_);
    texts_ = MakeUsageChartTexts(chart_);
    InvalidateRect(Hwnd(), nullptr, FALSE);
}

void CUsageChartWnd::SetMeasure(UsageMeasure measure) {
    if (measure == measure_) return;
    measure_ = measure;
    ShowMeasure();
    Update();
}

void CUsageChartWnd::CreateModeButtons() {
    // Radio buttons that look pushed when chosen: one group, so the arrow
    // keys move between them.
    const auto create = [&](const wchar_t* text, int id, DWORD group) {
        return CreateWindowExW(
            0, L"BUTTON", text,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | group | BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0, 0, 0,
            0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
            nullptr);
    };
    timeButton_ = create(L"用时(&T)", IDC_CHART_TIME, WS_GROUP);
    dataButton_ = create(L"流量(&D)", IDC_CHART_DATA, 0);
}

int CUsageChartWnd::LayoutModeButtons() {
    HDC dc = GetDC(Hwnd());
    int width = 0;
    int height = 0;
    {
        widgets::Selection font(dc, font_.Get());
        for (const wchar_t* text : {L"用时(T)", L"流量(D)"}) {
            width = std::max(width, TextWidth(dc, text));
        }
        height = TextHeight(dc);
    }
    ReleaseDC(Hwnd(), dc);
    width += Scale(24);
    height += Scale(10);
    const int margin = Scale(12);
    int x = margin;
    for (HWND button : {timeButton_, dataButton_}) {
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        SetWindowPos(button, nullptr, x, margin, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(button, nullptr, TRUE);
        x += width;
    }
    return height;
}

void CUsageChartWnd::ShowMeasure() {
    const bool data = measure_ == UsageMeasure::kData;
    SendMessageW(timeButton_, BM_SETCHECK, data ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageW(dataButton_, BM_SETCHECK, data ? BST_CHECKED : BST_UNCHECKED, 0);
    SetWindowTextW(Hwnd(), TitleOf(measure_));
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
    buttonRow_ = LayoutModeButtons();
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
        case WM_SETFOCUS:
            // The chosen mode's button takes the keyboard, as in a dialog.
            if (HWND chosen = measure_ == UsageMeasure::kData ? dataButton_ : timeButton_) {
                SetFocus(chosen);
            }
            return 0;
        case WM_COMMAND:
            if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == IDC_CHART_TIME) {
                SetMeasure(UsageMeasure::kTime);
                return 0;
            }
            if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == IDC_CHART_DATA) {
                SetMeasure(UsageMeasure::kData);
                return 0;
            }
            if (LOWORD(wp) == IDCANCEL) {  // Esc
                PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case WM_DESTROY:
            win::MessageLoop::RemoveModeless(Hwnd());
            timeButton_ = dataButton_ = nullptr;
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

// A panel's plot area under its caption, with room for the value labels on
// the left, the line labels on the right and the day labels below.
struct CUsageChartWnd::Plot {
    RECT r{};
    ValueAxis axis;
    int Width() const { return r.right - r.left; }
    int Height() const { return r.bottom - r.top; }
    int Y(std::int64_t value) const {
        const std::int64_t top = std::max<std::int64_t>(1, axis.top);
        const std::int64_t clamped = std::clamp<std::int64_t>(value, 0, top);
        // In double: a byte axis times a plot's height may pass 2^63.
        return r.bottom -
               static_cast<int>(static_cast<double>(clamped) * Height() / static_cast<double>(top));
    }
};

void CUsageChartWnd::Draw(HDC dc, const RECT& client) const {
    widgets::OwnedBrush background(CreateSolidBrush(kBackground));
    FillRect(dc, &client, background.Get());
    SetBkMode(dc, TRANSPARENT);
    const int margin = Scale(12);
    int y = margin + buttonRow_ + Scale(8);
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

    // The axes first: the value labels of both decide where both plots begin,
    // so that their days line up.
    std::int64_t highestDay = chart_.dayLimit;
    for (const UsageDay& d : chart_.days) highestDay = std::max(highestDay, chart_.BarOf(d));
    std::int64_t highestTotal = std::max(chart_.limit, chart_.used);
    if (chart_.elapsedDays > 0 && chart_.elapsedDays < static_cast<int>(chart_.days.size())) {
        highestTotal = std::max(highestTotal, chart_.projected);
    }
    for (const UsageDay& d : chart_.days) highestTotal = std::max(highestTotal, d.cumulative);
    Plot daily;
    daily.axis = ChooseValueAxis(chart_.measure, highestDay);
    Plot total;
    total.axis = ChooseValueAxis(chart_.measure, highestTotal);
    int valueRoom = 0;
    for (const Plot* plot : {&daily, &total}) {
        for (std::int64_t v = 0; v <= plot->axis.top; v += plot->axis.step) {
            valueRoom = std::max(valueRoom, TextWidth(dc, AxisLabel(chart_.measure, v)));
        }
    }
    valueRoom = std::max(Scale(30), valueRoom + Scale(10));
    const int labelRoom = LabelRoom(dc);
    for (auto [plot, area] : {std::pair{&daily, &upper}, std::pair{&total, &lower}}) {
        plot->r = {area->left + valueRoom, area->top + line + Scale(6), area->right - labelRoom,
                   area->bottom - line - Scale(4)};
    }
    DrawDailyBars(dc, daily, upper);
    DrawMonthTotal(dc, total, lower);
}

int CUsageChartWnd::LabelRoom(HDC dc) const {
    // The widest of the line labels right of the plots, so both plots align.
    int widest = 0;
    for (const std::wstring* label :
         {&texts_.dayLimitLabel, &texts_.limitLabel, &texts_.projectedLabel}) {
        widest = std::max(widest, TextWidth(dc, *label));
    }
    return widest + Scale(8);
}

void CUsageChartWnd::DrawLegend(HDC dc, int right, int y) const {
    // From the right: each line's sample and what it means; the even pace
    // only where there is a limit to pace to.
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
        if (e.colour == kPace && chart_.limit <= 0) continue;
        const std::wstring text = e.text;
        x -= TextWidth(dc, text);
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
    // The labels that name the month ("11/21", "12/1") come first; a day's
    // label that would touch one of them or the label before it is left out.
    struct Label {
        int i = 0;
        std::wstring text;
        bool month = false;
        int x = 0;
        int left = 0;
        int right = 0;
    };
    std::vector<Label> labels;
    for (int i = 0; i < n; i += every) {
        const CalendarDate& d = chart_.days[static_cast<std::size_t>(i)].date;
        Label l{i, std::to_wstring(d.day), i == 0 || d.day == 1};
        if (l.month) l.text = std::to_wstring(d.month) + L"/" + l.text;
        const int x = plot.left + (2 * i + 1) * width / (2 * n);
        const int half = TextWidth(dc, l.text) / 2;
        l.x = x;
        l.left = x - half;
        l.right = x + half;
        labels.push_back(std::move(l));
    }
    const int gap = Scale(4);
    int drawnRight = plot.left - width;
    for (std::size_t k = 0; k < labels.size(); ++k) {
        const Label& l = labels[k];
        if (!l.month) {
            const auto next = std::find_if(labels.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                                           labels.end(), [](const Label& m) { return m.month; });
            if (l.left < drawnRight + gap || (next != labels.end() && l.right + gap > next->left)) {
                continue;
            }
        }
        DrawLabel(dc, l.x, y, l.text, l.i == chart_.today ? kText : kMuted, TA_CENTER);
        drawnRight = l.right;
    }
}

void CUsageChartWnd::DrawGrid(HDC dc, const Plot& plot, int line) const {
    widgets::OwnedPen grid = Pen(kGrid, 1);
    widgets::Selection pen(dc, grid.Get());
    for (std::int64_t v = 0; v <= plot.axis.top; v += plot.axis.step) {
        const int y = plot.Y(v);
        DrawSegment(dc, plot.r.left, y, plot.r.right, y);
        DrawLabel(dc, plot.r.left - Scale(6), y - line / 2, AxisLabel(chart_.measure, v), kMuted,
                  TA_RIGHT);
    }
}

void CUsageChartWnd::DrawBaseline(HDC dc, const RECT& r) const {
    widgets::OwnedPen axis = Pen(kAxis, Scale(1));
    widgets::Selection pen(dc, axis.Get());
    DrawSegment(dc, r.left, r.bottom, r.right, r.bottom);
}

void CUsageChartWnd::DrawDailyBars(HDC dc, Plot plot, const RECT& area) const {
    const int line = TextHeight(dc);
    DrawLabel(dc, area.left, area.top, texts_.dailyCaption, kText);
    if (plot.Width() <= 0 || plot.Height() <= 0) return;

    DrawGrid(dc, plot, line);
    const int n = static_cast<int>(chart_.days.size());
    const int gap = std::max(1, plot.Width() / n / 6);
    for (int i = 0; i < n; ++i) {
        const std::int64_t value = chart_.BarOf(chart_.days[static_cast<std::size_t>(i)]);
        if (value <= 0) continue;
        const COLORREF colour = value >= chart_.dayLimit && chart_.dayLimit > 0
                                    ? kLimit
                                    : (i == chart_.today ? kToday : kBar);
        widgets::OwnedBrush brush(CreateSolidBrush(colour));
        const RECT bar{plot.r.left + i * plot.Width() / n + gap, plot.Y(value),
                       plot.r.left + (i + 1) * plot.Width() / n - gap, plot.r.bottom};
        FillRect(dc, &bar, brush.Get());
    }
    DrawBaseline(dc, plot.r);
    // The daily limit, where there is one.
    if (chart_.dayLimit > 0) {
        widgets::OwnedPen limit = Pen(kLimit, Scale(2), true);
        widgets::Selection pen(dc, limit.Get());
        const int y = plot.Y(chart_.dayLimit);
        DrawSegment(dc, plot.r.left, y, plot.r.right, y);
        DrawLabel(dc, plot.r.right + Scale(4), y - line / 2, texts_.dayLimitLabel, kLimit);
    }
    DrawDayLabels(dc, plot.r, plot.r.bottom + Scale(3));
}

void CUsageChartWnd::DrawMonthTotal(HDC dc, Plot plot, const RECT& area) const {
    const int line = TextHeight(dc);
    DrawLabel(dc, area.left, area.top, texts_.totalCaption, kText);
    DrawLegend(dc, area.right, area.top);
    if (plot.Width() <= 0 || plot.Height() <= 0) return;
    const bool current =
        chart_.elapsedDays > 0 && chart_.elapsedDays < static_cast<int>(chart_.days.size());
    const int n = static_cast<int>(chart_.days.size());
    const auto xAfter = [&](int days) { return plot.r.left + days * plot.Width() / n; };

    DrawGrid(dc, plot, line);
    DrawBaseline(dc, plot.r);
    // The even pace to the limit, and the limit, where there is one.
    if (chart_.limit > 0) {
        widgets::OwnedPen pace = Pen(kPace, Scale(1), true);
        {
            widgets::Selection pen(dc, pace.Get());
            DrawSegment(dc, xAfter(0), plot.Y(0), xAfter(n), plot.Y(chart_.limit));
        }
        widgets::OwnedPen limit = Pen(kLimit, Scale(2));
        widgets::Selection pen(dc, limit.Get());
        const int y = plot.Y(chart_.limit);
        DrawSegment(dc, plot.r.left, y, plot.r.right, y);
        DrawLabel(dc, plot.r.right + Scale(4), y - line / 2, texts_.limitLabel, kLimit);
    }
    // The month so far, day by day, and on from today at the average pace.
    if (chart_.elapsedDays > 0) {
        widgets::OwnedPen used = Pen(kBar, Scale(2));
        widgets::Selection pen(dc, used.Get());
        const UsageDay& first = chart_.days.front();
        MoveToEx(dc, xAfter(0), plot.Y(first.cumulative - chart_.CountedOf(first)), nullptr);
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
        const int yText = chart_.limit > 0 && std::abs(yEnd - yLimit) < line ? yLimit + line / 2
                                                                             : yEnd - line / 2;
        DrawLabel(dc, plot.r.right + Scale(4), yText, texts_.projectedLabel, kProjection);
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
