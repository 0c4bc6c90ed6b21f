#include "app/controls/edit_box.h"

#include <windowsx.h>

namespace cc {
namespace {

constexpr DWORD kCommonStyle = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;

}  // namespace

bool IsAcceptedTypedChar(WPARAM code) {
    if (code < 0x20) return true;
    return code == '-' || code == '.' || (code >= '0' && code <= '9');
}

int MinimumEditHeight(int tallCharHeight, int edgeHeight) { return tallCharHeight + 2 * edgeHeight; }

LineBand CentreLine(LONG clientTop, LONG clientBottom, int lineHeight) {
    const LONG spare = clientBottom - clientTop - lineHeight;
    if (spare <= 0) return {clientTop, clientBottom};
    const LONG top = clientTop + spare / 2;
    return {top, top + lineHeight};
}

bool EditBox::Create(HWND parent, const EditBoxSettings& settings) {
    settings_ = settings;
    const DWORD style = kCommonStyle | (settings.centred ? ES_CENTER : ES_LEFT);
    window_.reset(::CreateWindowExA(0, "EDIT", settings.text, style, settings.x, settings.y, settings.width,
                                    settings.height, parent, reinterpret_cast<HMENU>(INT_PTR{settings.childId}),
                                    ::GetModuleHandleA(nullptr), nullptr));
    if (!window_) return false;

    ::SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    const int minimum = MinimumEditHeight(FontTextHeight("吴"), ::GetSystemMetrics(SM_CYEDGE));
    if (settings.height < minimum) {
        ::SetWindowPos(hwnd(), nullptr, 0, 0, settings.width, minimum, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageA(hwnd(), EM_LIMITTEXT, 0, 0);
    ::SendMessageA(hwnd(), EM_SETSEL, 0, 0);
    ::SendMessageA(hwnd(), EM_SCROLLCARET, 0, 0);

    // The box is subclassed with a UTF-16 procedure: a typed character then
    // reaches the filter and the EDIT whole, never split into bytes on the way.
    ::SetWindowLongPtrW(hwnd(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProcedure)));
    // The frame is measured again, now with the text line centred.
    ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

Text EditBox::Content() const {
    const int length = ::GetWindowTextLengthA(hwnd());
    if (length <= 0) return Text();
    Text text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(hwnd(), text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

LRESULT CALLBACK EditBox::SubclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<EditBox*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        // Put the class's own procedure back before the box goes.
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->original_));
        const LRESULT result = ::CallWindowProcW(self->original_, window, message, wParam, lParam);
        self->window_.release();
        return result;
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT EditBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        if (settings_.numericInput && !IsAcceptedTypedChar(wParam)) return 0;
        break;
    case WM_NCCALCSIZE: {
        const LRESULT result = Original(message, wParam, lParam);
        CentreClientArea(*reinterpret_cast<RECT*>(lParam));
        return result;
    }
    case WM_NCPAINT: {
        const LRESULT result = Original(message, wParam, lParam);
        PaintBands();
        return result;
    }
    case WM_NCHITTEST: return HitTest(lParam);
    case WM_SETFONT: {
        const LRESULT result = Original(message, wParam, lParam);
        ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return result;
    }
    }
    return Original(message, wParam, lParam);
}

int EditBox::FontTextHeight(const char* sample) const {
    WindowDc dc(hwnd());
    auto font = reinterpret_cast<HGDIOBJ>(::SendMessageA(hwnd(), WM_GETFONT, 0, 0));
    SelectScope selected(dc.get(), font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    ::GetTextExtentPoint32A(dc.get(), sample, lstrlenA(sample), &size);
    return size.cy;
}

void EditBox::CentreClientArea(RECT& client) const {
    const LineBand band = CentreLine(client.top, client.bottom, FontTextHeight("W"));
    client.top = band.top;
    client.bottom = band.bottom;
}

// The bands above and below the text line belong to the frame; they are
// painted in the box's background colour, white.
void EditBox::PaintBands() {
    RECT window{}, client{};
    ::GetWindowRect(hwnd(), &window);
    ::GetClientRect(hwnd(), &client);
    ::MapWindowPoints(hwnd(), nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -window.left, -window.top);
    ::OffsetRect(&window, -window.left, -window.top);
    // A box whose EDIT draws its own border inside the client area has no
    // frame of the window's; otherwise the frame stays as the system drew it.
    if (::GetWindowLongPtrA(hwnd(), GWL_STYLE) & WS_BORDER) {
        const int border = ::GetSystemMetrics(SM_CXBORDER);
        ::InflateRect(&window, -border, -border);
    }

    WholeWindowDc dc(hwnd());
    ::ExcludeClipRect(dc.get(), client.left, client.top, client.right, client.bottom);
    ::FillRect(dc.get(), &window, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

LRESULT EditBox::HitTest(LPARAM lParam) {
    const LRESULT result = Original(WM_NCHITTEST, 0, lParam);
    if (result != HTCLIENT && result != HTNOWHERE) return result;
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(hwnd(), &point);
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    return ::PtInRect(&client, point) ? HTCLIENT : HTBORDER;
}

}  // namespace cc
