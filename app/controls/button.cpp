#include "app/controls/button.h"

namespace cc {

bool Button::Create(HWND parent, const ButtonSettings& settings) {
    constexpr DWORD style =
        WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE;
    window_.reset(::CreateWindowExA(0, "BUTTON", settings.caption, style, settings.x, settings.y, settings.width,
                                    settings.height, parent, reinterpret_cast<HMENU>(INT_PTR{settings.childId}),
                                    ::GetModuleHandleA(nullptr), nullptr));
    if (!window_) return false;
    ::SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return true;
}

}  // namespace cc
