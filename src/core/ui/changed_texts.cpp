#include "core/ui/changed_texts.h"

#include <algorithm>

#include "core/accounting/data_allowance.h"

namespace hourlink {

bool TextSlots::Take(std::size_t slot, std::wstring_view text) {
    if (slot >= texts_.size()) return true;
    if (known_[slot] && texts_[slot] == text) return false;
    texts_[slot] = text;
    known_[slot] = true;
    return true;
}

const std::wstring& TextSlots::Text(std::size_t slot) const {
    static const std::wstring kNone;
    return slot < texts_.size() ? texts_[slot] : kNone;
}

void TextSlots::Forget() {
    known_.assign(known_.size(), false);
    for (std::wstring& text : texts_) text.clear();
}

bool PaneNeedsMeasure(std::wstring_view before, std::wstring_view after) {
    return before.size() != after.size();
}

namespace {

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

}  // namespace

std::wstring WithoutSeconds(std::wstring_view text) {
    // A clock's seconds: ":SS" right after the "H:MM" of its hours and
    // minutes, and not followed by a further digit.
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool seconds = text[i] == L':' && i >= 4 && i + 2 < text.size() &&
                             IsDigit(text[i - 4]) && text[i - 3] == L':' && IsDigit(text[i - 2]) &&
                             IsDigit(text[i - 1]) && IsDigit(text[i + 1]) && IsDigit(text[i + 2]) &&
                             (i + 3 == text.size() || !IsDigit(text[i + 3]));
        if (seconds) {
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

std::wstring WithoutRunningFigures(std::wstring_view text) {
    return WithoutSeconds(text.substr(0, text.find(kTipDataLine)));
}

bool TrayTipSchedule::Offer(std::wstring_view tip) {
    latest_ = tip;
    if (latest_ == sent_) return false;
    if (!shown_ && WithoutRunningFigures(latest_) == WithoutRunningFigures(sent_)) return false;
    sent_ = latest_;
    return true;
}

bool TrayTipSchedule::SetShown(bool shown) {
    shown_ = shown;
    if (!shown_ || latest_ == sent_) return false;
    sent_ = latest_;
    return true;
}

bool HeldTexts::Offer(std::size_t slot, std::wstring text, bool showing) {
    Drop(slot);
    if (showing) return true;
    held_.emplace_back(slot, std::move(text));
    return false;
}

void HeldTexts::Drop(std::size_t slot) {
    std::erase_if(held_, [slot](const auto& held) { return held.first == slot; });
}

std::vector<std::pair<std::size_t, std::wstring>> HeldTexts::TakeAll() {
    auto all = std::move(held_);
    held_.clear();
    std::sort(all.begin(), all.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return all;
}

}  // namespace hourlink
