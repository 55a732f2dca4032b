// The window's DPI and what depends on it: the program declares per-monitor
// DPI awareness, so Windows scales nothing of it; each window scales its own
// sizes (core/ui/dpi_scale.h) and makes its fonts and pictures for its DPI.
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include "core/ui/dpi_scale.h"

namespace hourlink::win {

// The DPI of `hwnd`'s monitor (GetDpiForWindow where the system has it), or
// the screen's DPI (LOGPIXELSX) on older systems and for no window.
int DpiOf(HWND hwnd);
// The DPI of the screen the program's windows open on before they exist.
int SystemDpi();

// Shorthand for ScaleToDpi.
inline int Scale(int pixels, int dpi) {
    return ScaleToDpi(pixels, dpi);
}

// System metric `index` at `dpi` (GetSystemMetricsForDpi where the system has
// it, otherwise the system's value scaled from the system DPI).
int MetricForDpi(int index, int dpi);

// A new font, the system's status bar font at `dpi`; the caller owns it.
HFONT CreateUiFont(int dpi);

// A new image list of a strip of `size` x `size` pictures, magenta
// transparent, from bitmap resource `id`, drawn on `background` (CLR_NONE:
// transparent); null when the bitmap is missing. The caller owns it.
HIMAGELIST LoadImageStrip(UINT id, int size, COLORREF background = CLR_NONE);

}  // namespace hourlink::win
