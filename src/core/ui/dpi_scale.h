// Sizes on screens of any DPI: every size the program lays out is given in
// pixels at 96 DPI (100 %) and scaled to the window's DPI, and pictures drawn
// at 16 pixels come in a few larger sizes of which the one that fits is taken.
#pragma once

namespace hourlink {

// The DPI at which sizes are given: 100 %.
inline constexpr int kBaseDpi = 96;

// `pixels` at 96 DPI scaled to `dpi`, rounded to the nearest pixel (halves
// away from zero). A DPI of 0 or less is taken as 96.
int ScaleToDpi(int pixels, int dpi);

// The size of the pictures drawn at 16 pixels to use at `dpi`: the largest of
// 16, 20, 24 and 32 that is not larger than 16 scaled to `dpi` (16 at least),
// so a picture is never scaled up by the system and blurred.
int ImageSizeForDpi(int dpi);

struct FrameSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// The main window's size when no placement is saved: 800 x 560 at 96 DPI,
// scaled to `dpi`, and no larger than the work area (`workWidth` x
// `workHeight`) it opens on.
FrameSize DefaultFrameSize(int dpi, int workWidth, int workHeight);

}  // namespace hourlink
