// Button: the system's push button. Its clicks reach the parent as
// WM_COMMAND / BN_CLICKED.
#pragma once

#include "app/handles.h"

#include <windows.h>

namespace cc {

struct ButtonSettings {
    const char* caption = "";
    int x = 0, y = 0, width = 0, height = 0;
    int childId = 0;
};

class Button {
public:
    Button() = default;
    Button(const Button&) = delete;
    Button& operator=(const Button&) = delete;

    bool Create(HWND parent, const ButtonSettings& settings);
    HWND hwnd() const { return window_.get(); }

private:
    UniqueWindow window_;
};

}  // namespace cc
