#include "shell/win/status_bar.h"

#include <commctrl.h>

#include "shell/win/dpi.h"
#include "shell/win/text.h"

namespace hourlink::win {

bool StatusBar::Create(HWND parent, int id) {
    hwnd_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                            0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    return hwnd_ != nullptr;
}

void StatusBar::SetPanes(int firstMinWidth, std::vector<std::wstring> texts) {
    firstMinWidth_ = firstMinWidth;
    sizingTexts_ = std::move(texts);
    sizingTexts_.insert(sizingTexts_.begin(), std::wstring());
    SizePanes();
}

void StatusBar::SetDpi(int dpi, HFONT font) {
    dpi_ = dpi;
    if (hwnd_ && font) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SizePanes();
}

void StatusBar::SizePanes() {
    if (sizingTexts_.empty()) return;
    widths_.assign(sizingTexts_.size(), Scale(firstMinWidth_, dpi_));
    for (std::size_t i = 1; i < sizingTexts_.size(); ++i) widths_[i] = TextWidth(sizingTexts_[i]);
    ApplyWidths();
}

void StatusBar::ApplyWidths() {
    if (!hwnd_ || widths_.empty()) return;
    // The first pane takes what the others leave; the others have their widths.
    RECT client{};
    GetClientRect(hwnd_, &client);
    int others = 0;
    for (std::size_t i = 1; i < widths_.size(); ++i) others += widths_[i];
    std::vector<int> edges(widths_.size());
    int x = std::max<int>(widths_[0], client.right - others);
    edges[0] = x;
    for (std::size_t i = 1; i < widths_.size(); ++i) {
        x += widths_[i];
        edges[i] = x;
    }
    edges.back() = -1;
    SendMessageW(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

int StatusBar::TextWidth(std::wstring_view text) const {
    if (!hwnd_) return 0;
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, Font());
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return size.cx + Scale(12, dpi_);  // the pane's borders and margins
}

void StatusBar::SetPaneText(int pane, std::wstring_view text) {
    if (!hwnd_) return;
    if (pane == 0 && prompting_) {
        message_ = text;
        return;
    }
    WritePane(pane, std::wstring(text));
}

void StatusBar::WritePane(int pane, const std::wstring& text) {
    // The tick sets its panes every second: an unchanged text is not sent,
    // and a pane is measured again only when its text's length changes.
    if (!paneTexts_.Take(static_cast<std::size_t>(pane), text)) return;
    if (pane > 0 && static_cast<std::size_t>(pane) < widths_.size()) {
        std::wstring& sizing = sizingTexts_[static_cast<std::size_t>(pane)];
        const bool measure = PaneNeedsMeasure(sizing, text);
        sizing = text;
        if (measure) {
            widths_[static_cast<std::size_t>(pane)] = TextWidth(text);
            ApplyWidths();
        }
    }
    SendMessageW(hwnd_, SB_SETTEXTW, static_cast<WPARAM>(pane),
                 reinterpret_cast<LPARAM>(text.c_str()));
}

void StatusBar::ShowPrompt(std::wstring_view prompt) {
    if (!hwnd_) return;
    if (!prompting_) message_ = PaneText(0);
    prompting_ = true;
    WritePane(0, std::wstring(prompt));
}

void StatusBar::PromptCommand(UINT id) {
    if (id == 0) {
        EndPrompt();
        return;
    }
    ShowPrompt(Field(LoadResourceString(id), 0));
}

void StatusBar::OnMenuSelect(UINT item, UINT flags, HMENU menu) {
    if (flags == 0xFFFF && menu == nullptr) {  // the menu closed
        EndPrompt();
        return;
    }
    const bool command = (flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU)) == 0;
    ShowPrompt(command ? Field(LoadResourceString(item), 0) : L"");
}

void StatusBar::EndPrompt() {
    if (!hwnd_ || !prompting_) return;
    prompting_ = false;
    WritePane(0, message_);
}

std::wstring StatusBar::PaneText(int pane) const {
    if (!hwnd_) return {};
    const auto length = LOWORD(SendMessageW(hwnd_, SB_GETTEXTLENGTHW, pane, 0));
    std::wstring text(length + 1, L'\0');
    SendMessageW(hwnd_, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

HFONT StatusBar::Font() const {
    auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void StatusBar::AutoSize() {
    if (!hwnd_) return;
    SendMessageW(hwnd_, WM_SIZE, 0, 0);
    ApplyWidths();
}

int StatusBar::Height() const {
    if (!hwnd_) return 0;
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r.bottom - r.top;
}

}  // namespace hourlink::win
