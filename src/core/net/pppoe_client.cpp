#include "core/net/pppoe_client.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace hourlink {

namespace {

constexpr int kIdleTimeoutMs = 30000;

// The texts the client shows, as the window manager gives them (GBK).
struct ButtonTexts {
    std::array<std::string_view, 2> titles;   // a window title contains either
    std::array<std::string_view, 3> buttons;  // a child's text equals any
};

// "北京宽带通", "连接", "断开连接", "连接到", "中断", "退出" in GBK. "断开连接" is
// accepted by every button: the client shows it on the one that matters.
constexpr std::string_view kBeijing = "\xB1\xB1\xBE\xA9\xBF\xED\xB4\xF8\xCD\xA8";
constexpr std::string_view kLianJie = "\xC1\xAC\xBD\xD3";
constexpr std::string_view kDuanKai = "\xB6\xCF\xBF\xAA\xC1\xAC\xBD\xD3";
constexpr std::string_view kLianJieDao = "\xC1\xAC\xBD\xD3\xB5\xBD";
constexpr std::string_view kZhongDuan = "\xD6\xD0\xB6\xCF";
constexpr std::string_view kTuiChu = "\xCD\xCB\xB3\xF6";

constexpr ButtonTexts kTexts[] = {
    {{"EnterNet", kBeijing}, {"Connect", kLianJie, kDuanKai}},
    {{"Connected to", kLianJieDao}, {"Disconnect", kZhongDuan, kDuanKai}},
    {{"EnterNet", kBeijing}, {"Exit", kTuiChu, kDuanKai}},
};

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

std::wstring PppoeClient::ProgramPath() {
    const auto folder = network_.AppPath(L"EnterNet.exe");
    if (!folder || folder->empty()) return {};
    std::wstring path = *folder;
    if (path.back() == L'\\') path.pop_back();
    path += L"\\EnterNet.exe";
    return network_.FileExists(path) ? path : std::wstring();
}

bool PppoeClient::Start(std::wstring& logText) {
    const std::wstring path = ProgramPath();
    if (path.empty()) return false;
    // Quoted, so a folder with blanks is never taken for a shorter program.
    const std::uint32_t error = dial_.StartProgram(L"\"" + path + L"\"", kIdleTimeoutMs);
    if (error == 0) return true;
    wchar_t text[96];
    std::swprintf(text, 96, L"执行enternet失败. Error Code:%u\r\n", static_cast<unsigned>(error));
    logText = text;
    return false;
}

bool PppoeClient::Press(Button button, std::wstring& logText) {
    const int mode = static_cast<int>(button);
    const ButtonTexts& texts = kTexts[mode - 1];
    for (const TopLevelWindow& window : network_.TopLevelWindows()) {
        if (!Contains(window.title, texts.titles[0]) && !Contains(window.title, texts.titles[1])) {
            continue;
        }
        for (const TopLevelWindow& child : network_.ChildWindows(window.handle)) {
            for (std::string_view text : texts.buttons) {
                if (child.title == text) {
                    dial_.PostClick(child.handle);
                    return true;
                }
            }
        }
    }
    wchar_t text[64];
    std::swprintf(text, 64, L"没有发现enternet的窗口句柄%d\r\n", mode);
    logText = text;
    return false;
}

}  // namespace hourlink
