#include "shell/win/dpi.h"

#include "shell/win/system_library.h"

namespace hourlink::win {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : kBaseDpi;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

int DpiOf(HWND hwnd) {
    static const auto forWindow =
        SystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (hwnd && forWindow) {
        if (const UINT dpi = forWindow(hwnd)) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int SystemDpi() {
    static const auto forSystem =
        SystemFunction<GetDpiForSystemFn>(L"user32.dll", "GetDpiForSystem");
    if (forSystem) {
        if (const UINT dpi = forSystem()) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

int MetricForDpi(int index, int dpi) {
    static const auto forDpi =
        SystemFunction<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

HFONT CreateUiFont(int dpi) {
    static const auto forDpi =
        SystemFunction<SystemParametersInfoForDpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi &&
        forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
        return CreateFontIndirectW(&metrics.lfStatusFont);
    }
    // The system's metrics are for the system DPI.
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof metrics.lfStatusFont,
                   &metrics.lfStatusFont);
    }
    metrics.lfStatusFont.lfHeight = MulDiv(metrics.lfStatusFont.lfHeight, dpi, SystemDpi());
    return CreateFontIndirectW(&metrics.lfStatusFont);
}

HIMAGELIST LoadImageStrip(UINT id, int size, COLORREF background) {
    auto strip = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!strip) return nullptr;
    BITMAP bm{};
    GetObjectW(strip, sizeof bm, &bm);
    HIMAGELIST images =
        ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, size > 0 ? bm.bmWidth / size : 0, 0);
    if (images) {
        ImageList_AddMasked(images, strip, RGB(255, 0, 255));
        ImageList_SetBkColor(images, background);
    }
    DeleteObject(strip);
    return images;
}

}  // namespace hourlink::win
