#include "app/window_base.h"

namespace cc {

bool WindowBase::RegisterOnce(const char* className, UINT style, HBRUSH background) {
    WNDCLASSEXA cls{};
    cls.cbSize = sizeof cls;
    cls.hInstance = ::GetModuleHandleA(nullptr);
    if (::GetClassInfoExA(cls.hInstance, className, &cls)) return true;
    cls.cbSize = sizeof cls;
    cls.style = style;
    cls.lpfnWndProc = &WindowBase::Procedure;
    cls.hInstance = ::GetModuleHandleA(nullptr);
    cls.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    cls.hbrBackground = background;
    cls.lpszClassName = className;
    return ::RegisterClassExA(&cls) != 0;
}

bool WindowBase::CreateAsObject(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
                                int width, int height, HWND parent, HMENU menuOrId) {
    HWND created = ::CreateWindowExA(exStyle, className, text, style, x, y, width, height, parent, menuOrId,
                                     ::GetModuleHandleA(nullptr), this);
    return created != nullptr;
}

LRESULT CALLBACK WindowBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<WindowBase*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    if (self == nullptr) return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window is gone: the object lets go of it without destroying it
        // a second time.
        const LRESULT result = self->HandleMessage(message, wParam, lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_.release();
        return result;
    }
    return self->HandleMessage(message, wParam, lParam);
}

}  // namespace cc
