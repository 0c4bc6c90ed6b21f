// TransLabel: a label of its own class that draws nothing but its text, so the
// window and the controls beneath it show through around the letters.
#pragma once

#include "app/window_base.h"

#include <windows.h>

#include <optional>

namespace cc {

struct TransLabelSettings {
    const char* text = "";
    int x = 0, y = 0, width = 0, height = 0;
    int childId = 0;
    std::optional<LOGFONTA> font;  // none: the default GUI font
    bool wrapWords = false;        // false: one line, vertically centred
    COLORREF textColour = RGB(0, 0, 0);
};

// The DrawTextA flags for a label's text layout.
UINT LabelDrawFlags(bool wrapWords);

// The font that a label with a font of its own paints with: its values, with
// the character set, precisions, quality and pitch fixed.
LOGFONTA LabelPaintFont(const LOGFONTA& own);

class TransLabel : public WindowBase {
public:
    bool Create(HWND parent, const TransLabelSettings& settings);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();

    TransLabelSettings settings_;
};

}  // namespace cc
