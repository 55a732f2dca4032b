// The program lock's dialogs: the protection settings (dialog 160, "设置保护密码")
// and the password question (dialog 161, "请输入用户名和口令"). Password edits
// take at most 32 GBK bytes, the most the store reads back.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "core/lock/protection_store.h"
#include "shell/win/dialog.h"
#include "shell/win/window.h"

namespace hourlink {

// An edit whose text stays within a number of GBK bytes: a change that would
// go beyond is undone with a beep, as the control's own limit does for
// characters (a Chinese character takes two bytes).
class GbkLimitedEdit : public win::Window {
  public:
    explicit GbkLimitedEdit(std::size_t maxBytes) : maxBytes_(maxBytes) {}
    // Takes over a dialog's edit.
    bool Limit(HWND edit);

  protected:
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    std::size_t maxBytes_;
    std::wstring accepted_;
    DWORD caret_ = 0;
    bool reverting_ = false;
};

// Dialog 161: one password edit; Password() holds what was entered on OK.
class PasswordEntryDialog : public win::Dialog {
  public:
    PasswordEntryDialog();
    const std::wstring& Password() const { return password_; }

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    GbkLimitedEdit edit_{ProtectionStore::kMaxValueBytes};
    std::wstring password_;
};

// Dialog 160: protection on or off, the Ctrl+Alt+Del option, the password
// twice, and "取消保护", which removes the protection at once.
class ProtectionSettingsDialog : public win::Dialog {
  public:
    // "密码输入不正确，请重新输入": the two entries differ, or hold a character
    // GBK cannot store.
    static constexpr const wchar_t* kWrongPassword = L"密码输入不正确，请重新输入";
    // A change the registry did not take; the protection stays as it was.
    static constexpr const wchar_t* kRemoveFailed = L"无法取消保护：设置不能写入注册表，保护保持不变。";
    static constexpr const wchar_t* kSaveFailed = L"无法保存保护设置：设置不能写入注册表，保护保持不变。";

    explicit ProtectionSettingsDialog(ProtectionStore& store);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override;

  private:
    ProtectionStore& store_;
    GbkLimitedEdit password_{ProtectionStore::kMaxValueBytes};
    GbkLimitedEdit confirmation_{ProtectionStore::kMaxValueBytes};
};

}  // namespace hourlink
