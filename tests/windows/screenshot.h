// Screenshots for the Windows tests: what a window shows on the screen, as
// pixels, and written out as a PNG under HOURLINK_SCREENSHOT_DIR (the test
// target defines it).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace hourlink::test {

// A window's pixels, top-down, each 0x00RRGGBB (the high byte is not used).
struct WindowPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// What `paint(dc)` draws into a width x height picture in memory, top row
// first, a 0x00RRGGBB value per pixel.
template <typename Paint>
WindowPixels PaintedPixels(int width, int height, Paint&& paint) {
    WindowPixels shot;
    shot.width = width;
    shot.height = height;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    paint(memory);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    shot.pixels.assign(p, p + static_cast<std::size_t>(width) * height);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    return shot;
}

// What the screen shows in `r`.
inline WindowPixels CaptureScreen(const RECT& r) {
    return PaintedPixels(r.right - r.left, r.bottom - r.top, [&](HDC memory) {
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

// Keeps a window's top-level above every other window of the desktop, always-on-
// top ones included, while it lives; the window keeps its place on top of the
// ordinary windows afterwards. Test programs share one desktop, and a window of
// another one (a maximised frame, an always-on-top popup) may lie over the
// window whose pixels are read off the screen.
class AboveAll {
public:
    explicit AboveAll(HWND hwnd)
        : top_(GetAncestor(hwnd, GA_ROOT)),
          wasTopmost_((GetWindowLongPtrW(top_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0) {
        SetWindowPos(top_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ~AboveAll() {
        if (!wasTopmost_)
            SetWindowPos(top_, HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    AboveAll(const AboveAll&) = delete;
    AboveAll& operator=(const AboveAll&) = delete;

private:
    HWND top_;
    bool wasTopmost_;
};

// What the screen shows where the window is, frame included.
inline WindowPixels CaptureWindow(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return CaptureScreen(r);
}

// What the window itself has drawn, frame included, read from its top-level's
// own pixels rather than the screen's.
inline WindowPixels CaptureOwnPixels(HWND hwnd) {
    HWND top = GetAncestor(hwnd, GA_ROOT);
    RECT r{};
    RECT topRect{};
    GetWindowRect(hwnd, &r);
    GetWindowRect(top, &topRect);
    return PaintedPixels(r.right - r.left, r.bottom - r.top, [&](HDC memory) {
        HDC window = GetWindowDC(top);
        BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, window, r.left - topRect.left,
               r.top - topRect.top, SRCCOPY);
        ReleaseDC(top, window);
    });
}

inline std::uint32_t PngCrc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = ~0u;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline void PutPngChunk(std::vector<std::uint8_t>& out, const char* type,
                        const std::vector<std::uint8_t>& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBig32(out, PngCrc32(body.data(), body.size()));
}

// An 8-bit RGB PNG of top-down 0x00RRGGBB pixels, in stored (uncompressed)
// deflate blocks: enough for a screenshot.
inline std::vector<std::uint8_t> EncodePng(const std::vector<std::uint32_t>& pixels, int width,
                                           int height) {
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
            raw.insert(raw.end(),
                       {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                        static_cast<std::uint8_t>(p)});
        }
    }
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.insert(z.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)});
        z.insert(z.end(), raw.begin() + static_cast<long>(at),
                 raw.begin() + static_cast<long>(at + n));
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(z, (b << 16) | a);
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    PutPngChunk(png, "IHDR", header);
    PutPngChunk(png, "IDAT", z);
    PutPngChunk(png, "IEND", {});
    return png;
}

// Where the screenshot `name`.png goes, as Wine sees it; makes the directory.
// The environment's HOURLINK_SCREENSHOT_DIR, when set, takes the place of the
// build's (a run as another user writes where that user may).
inline std::string ScreenshotPath(const std::string& name) {
    const char* override = std::getenv("HOURLINK_SCREENSHOT_DIR");
    std::string dir = override && *override ? override : HOURLINK_SCREENSHOT_DIR;
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;  // a Unix path, seen from Wine
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "/" + name + ".png";
}

// Writes the pixels to `path` as a PNG; false if the file cannot be opened.
inline bool SavePng(const WindowPixels& shot, const std::string& path) {
    const std::vector<std::uint8_t> png = EncodePng(shot.pixels, shot.width, shot.height);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fwrite(png.data(), 1, png.size(), file);
    std::fclose(file);
    return true;
}

// Redraws a window and saves what the screen shows of it as `name`.png.
inline bool SaveScreenshot(HWND hwnd, const std::string& name) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    return SavePng(CaptureWindow(hwnd), ScreenshotPath(name));
}

}  // namespace hourlink::test
