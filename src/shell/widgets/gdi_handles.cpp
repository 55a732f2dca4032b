#include "shell/widgets/gdi_handles.h"

#include <atomic>

namespace hourlink::widgets {

namespace {
std::atomic<long> live{0};
}  // namespace

long LiveWidgetGdiObjects() {
    return live.load();
}

void gdi_detail::Count(long delta) {
    live += delta;
}

IconBitmaps::IconBitmaps(HICON icon) {
    if (!icon || !GetIconInfo(icon, &info)) return;
    colour.Reset(info.hbmColor);
    mask.Reset(info.hbmMask);
    BITMAP bm{};
    if (colour && GetObjectW(colour.Get(), sizeof bm, &bm)) {
        size = {bm.bmWidth, bm.bmHeight};
    } else if (mask && GetObjectW(mask.Get(), sizeof bm, &bm)) {
        size = {bm.bmWidth, bm.bmHeight / 2};
    }
    ok = true;
}

}  // namespace hourlink::widgets
