// EditBox: the system's single-line EDIT control, with its text line centred
// vertically and, for a numeric box, a filter on typed characters.
#pragma once

#include "app/handles.h"
#include "encoding/text.h"

#include <windows.h>

namespace cc {

struct EditBoxSettings {
    const char* text = "";
    int x = 0, y = 0, width = 0, height = 0;
    int childId = 0;
    bool centred = false;       // ES_CENTER
    bool numericInput = false;  // only digits, '-' and '.' can be typed
};

// Whether a numeric box takes a typed character (a WM_CHAR code). Codes below
// 0x20, Backspace and the Ctrl combinations among them, always pass; every
// other character but the digits, '-' and '.' is dropped, a Chinese one too.
bool IsAcceptedTypedChar(WPARAM code);

// The height that a single-line box needs for a tall character of its font
// plus the system's edges above and below.
int MinimumEditHeight(int tallCharHeight, int edgeHeight);

// The text line centred in a client area: top and bottom of the line.
struct LineBand {
    LONG top, bottom;
};
LineBand CentreLine(LONG clientTop, LONG clientBottom, int lineHeight);

class EditBox {
public:
    EditBox() = default;
    EditBox(const EditBox&) = delete;
    EditBox& operator=(const EditBox&) = delete;

    bool Create(HWND parent, const EditBoxSettings& settings);
    HWND hwnd() const { return window_.get(); }

    // The whole text that the box shows, unchanged.
    Text Content() const;

private:
    static LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Original(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::CallWindowProcW(original_, hwnd(), message, wParam, lParam);
    }

    int FontTextHeight(const char* sample) const;
    void CentreClientArea(RECT& client) const;
    void PaintBands();
    LRESULT HitTest(LPARAM lParam);

    UniqueWindow window_;
    WNDPROC original_ = nullptr;
    EditBoxSettings settings_;
};

}  // namespace cc
