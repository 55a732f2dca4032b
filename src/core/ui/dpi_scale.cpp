#include "core/ui/dpi_scale.h"

#include <algorithm>
#include <cstdint>

namespace hourlink {

int ScaleToDpi(int pixels, int dpi) {
    if (dpi <= 0) dpi = kBaseDpi;
    const std::int64_t scaled = static_cast<std::int64_t>(pixels) * dpi;
    const std::int64_t half = kBaseDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi : (scaled - half) / kBaseDpi);
}

int ImageSizeForDpi(int dpi) {
    const int wanted = ScaleToDpi(16, dpi);
    int size = 16;
    for (int candidate : {20, 24, 32}) {
        if (candidate <= wanted) size = candidate;
    }
    return size;
}

FrameSize DefaultFrameSize(int dpi, int workWidth, int workHeight) {
    FrameSize size{ScaleToDpi(800, dpi), ScaleToDpi(560, dpi)};
    if (workWidth > 0) size.width = std::min(size.width, workWidth);
    if (workHeight > 0) size.height = std::min(size.height, workHeight);
    return size;
}

}  // namespace hourlink
