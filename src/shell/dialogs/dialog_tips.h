// The formatted tips of the options and connect dialogs' buttons, and the look
// both dialogs give their tooltip.
#pragma once

#include "shell/widgets/pp_tooltip.h"

namespace hourlink {

// The options dialog (138): buttons 1, 2, 1068 and 1000; the first with icon
// IDI_TOOLTIP_TIP at its own size.
inline constexpr wchar_t kOptionsOkTip[] =
    L"<b><ct=0x0000FF><al_c>确认</b><br><ct=0x00AA00><hr=100%></ct><br>确认这次操作";
inline constexpr wchar_t kOptionsCancelTip[] = L"取消这次操作";
inline constexpr wchar_t kOptionsAdvancedTip[] = L"拨号属性对话框";
inline constexpr wchar_t kOptionsDefaultsTip[] = L"设置为默认值";

// The connect dialog (139): buttons 1, 2 and 1013; the last with icon
// IDI_TOOLTIP_TIP at its own size.
inline constexpr wchar_t kConnectDialTip[] = L"开始拨号";
inline constexpr wchar_t kConnectCancelTip[] = L"退出拨号对话框";
inline constexpr wchar_t kConnectPropertiesTip[] =
    L"<b><ct=0x0000FF><al_c>显示</b><br><ct=0x00AA00><hr=100%></ct><br>拨号属性对话框";

// After the tools are added: the parent is told before each display, the
// status-bar font, a pale yellow to grey-green cushion with noise, and a tip
// that comes back when the mouse rests again inside the same button.
inline void UseProgramTipLook(widgets::CPPTooltip& tip) {
    tip.SetNotify(true);
    tip.UseSystemFont();
    tip.SetColor(18, 0xDFFFFF);
    tip.SetColor(19, 0xACC0C0);
    tip.SetColor(20, 0x708080);
    tip.SetEffectBk(13, 10);
    tip.SetBehaviour(kTipRearm);
}

}  // namespace hourlink
