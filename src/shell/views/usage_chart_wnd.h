// CUsageChartWnd: the "用时图表..." window. One bar per day of the accounting
// month the history list shows, with the daily limit; below, the month's
// running billed total against the monthly limit, the even pace to it and the
// projection at the present pace, with the day the limit will be reached. It
// follows the month picker and, while a session runs, every tick.
//
// Two buttons at the top, "用时" and "流量", switch between time and data
// (bytes per day against the monthly data allowance). The mode chosen stays
// for the rest of the run, the window closed and opened again included.
//
// It decides nothing and keeps no copies: at each Update it asks the history
// list's model for the month and the sums and lets the core
// (core/history/usage_chart) do the arithmetic. Painted with GDI into a memory
// bitmap (no flicker) and scaled by the window's DPI.
//
// The frame's part: Open() for the menu command; Update() at each session
// tick and after each listing of the history (a month picked, a session ended,
// the options changed).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "core/base/clock.h"
#include "core/history/history_list.h"
#include "core/history/usage_chart.h"
#include "core/settings/settings_store.h"
#include "core/ui/dpi_scale.h"
#include "shell/widgets/gdi_handles.h"
#include "shell/win/window.h"

namespace hourlink {

class CUsageChartWnd : public win::Window {
  public:
    // Where the figures come from; each must outlive the window.
    struct Source {
        const HistoryList* list = nullptr;
        SettingsStore* settings = nullptr;
        const Clock* clock = nullptr;
        // The running session's seconds and bytes; 0 while none is timed.
        std::function<std::int64_t()> runningSeconds;
        std::function<std::int64_t()> runningBytes;
    };

    CUsageChartWnd() = default;
    ~CUsageChartWnd() override;

    // Creates the window owned by `owner` the first time, then shows it with
    // the figures as they are and brings it to the front.
    bool Open(HWND owner, Source source);
    // Takes the figures again and repaints; nothing while the window is closed.
    void Update();
    // Shows time or data, as the mode buttons do.
    void SetMeasure(UsageMeasure measure);
    UsageMeasure Measure() const { return measure_; }

    const UsageChart& Chart() const { return chart_; }
    const UsageChartTexts& Texts() const { return texts_; }
    UINT Dpi() const { return dpi_; }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    struct Plot;
    int Scale(int pixels) const { return ScaleToDpi(pixels, static_cast<int>(dpi_)); }
    void SetDpi(UINT dpi);
    void CreateModeButtons();
    // Places the mode buttons for the DPI; returns the height of their row.
    int LayoutModeButtons();
    void ShowMeasure();
    void OnPaint();
    void Draw(HDC dc, const RECT& client) const;
    void DrawDailyBars(HDC dc, Plot plot, const RECT& area) const;
    void DrawMonthTotal(HDC dc, Plot plot, const RECT& area) const;
    void DrawDayLabels(HDC dc, const RECT& plot, int y) const;
    void DrawLegend(HDC dc, int right, int y) const;
    int LabelRoom(HDC dc) const;
    // The grid with the value labels (under the data).
    void DrawGrid(HDC dc, const Plot& plot, int line) const;
    void DrawBaseline(HDC dc, const RECT& plot) const;

    Source source_;
    UsageMeasure measure_ = UsageMeasure::kTime;
    HWND timeButton_ = nullptr;
    HWND dataButton_ = nullptr;
    int buttonRow_ = 0;  // the height of the buttons' row
    UsageChart chart_;
    UsageChartTexts texts_;
    UINT dpi_ = 96;
    widgets::OwnedFont font_;
    widgets::OwnedFont titleFont_;
};

}  // namespace hourlink
