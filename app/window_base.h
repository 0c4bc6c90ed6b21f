// The base of the program's own window classes: the static window procedure
// finds its object in the window's user data, put there at WM_NCCREATE.
#pragma once

#include "app/handles.h"

#include <windows.h>

namespace cc {

class WindowBase {
public:
    WindowBase() = default;
    virtual ~WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND hwnd() const { return window_.get(); }

protected:
    // Registers a class of the program's own, with this base's window
    // procedure and the arrow cursor, once per process; later calls find it.
    static bool RegisterOnce(const char* className, UINT style, HBRUSH background);

    // Creates the window with this object as its create parameter.
    bool CreateAsObject(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
                        int width, int height, HWND parent, HMENU menuOrId);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcA(hwnd(), message, wParam, lParam);
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    UniqueWindow window_;
};

}  // namespace cc
