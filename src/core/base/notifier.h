// How the core tells the user about a failure without knowing about windows: a
// message box, or a line in the log pane ("%s失败有错误 %d\n" style reports).
#pragma once

#include <string_view>

namespace hourlink {

class Notifier {
  public:
    virtual ~Notifier() = default;
    // A message box with an OK button.
    virtual void ShowMessage(std::wstring_view text) = 0;
    // A failure report for the log pane: what failed and the error code.
    virtual void ReportError(std::wstring_view what, int code) = 0;
};

// Drops everything; for callers that have nobody to tell.
class SilentNotifier final : public Notifier {
  public:
    void ShowMessage(std::wstring_view) override {}
    void ReportError(std::wstring_view, int) override {}
};

}  // namespace hourlink
