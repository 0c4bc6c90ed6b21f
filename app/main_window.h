// MainWindow: the program's only window, its seven controls, its keyboard and
// mouse filter and its answers to property requests.
#pragma once

#include "app/control_properties.h"
#include "app/controls/button.h"
#include "app/controls/edit_box.h"
#include "app/controls/html_viewer.h"
#include "app/controls/trans_label.h"
#include "app/window_base.h"

#include <windows.h>

#include <cstdint>
#include <optional>

namespace cc {

constexpr int kMainWindowWidth = 380;
constexpr int kMainWindowHeight = 448;

// The top-left corner that centres a window of the given outer size on a
// screen, each division truncating toward zero.
POINT CentredOrigin(int screenWidth, int screenHeight, int width, int height);

// Key state of a mouse event: 1 Ctrl, 2 Shift, 4 Alt, added together.
int32_t MouseKeyState(WPARAM mouseKeys, bool altDown);

// What the window does with its events; each runs on the UI thread.
struct MainWindowEvents {
    void (*created)() = nullptr;
    void (*generateClicked)() = nullptr;
    // A yes/no result; an explicit no stops the press.
    std::optional<bool> (*legendMouseDown)(int32_t x, int32_t y, int32_t keys) = nullptr;
};

struct MainWindowSettings {
    MainWindowEvents events;
    CLSID browserClass{};
};

class MainWindow : public WindowBase {
public:
    // Creates the window hidden, centred and at its size, then its controls,
    // stacked and shown; false, with nothing left behind, if any part fails.
    bool Create(const MainWindowSettings& settings);

    void RaiseCreated();
    void Show();
    void NoteLoopStarted() { loopStarted_ = true; }
    bool Exists() const { return hwnd() != nullptr; }

    // Looks at a queued message before it is translated and dispatched; true
    // when the window has consumed it.
    bool FilterMessage(MSG& message);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateControls();
    void StackAndShowControls();
    bool IsOwnWindow(HWND window) const;
    bool IsInsideBrowserView(HWND window) const;
    int BrowserViewDepth(HWND window) const;
    bool FilterKey(MSG& message);
    void MoveFocus(HWND from, bool backwards);
    void OnPaint();
    void OnSetFocus();
    void OnActivate(WPARAM state);
    void OnCommand(WORD id, WORD code);
    void OnPropertyRequest(PropertyRequest& request);

    MainWindowSettings settings_;
    EditBox nameBox_;
    EditBox typeBox_;
    Button generateButton_;
    TransLabel nameLabel_;
    TransLabel typeLabel_;
    TransLabel legendLabel_;
    HtmlViewer browserView_;
    HWND lastFocus_ = nullptr;
    bool loopStarted_ = false;
};

}  // namespace cc
