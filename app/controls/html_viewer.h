// HtmlViewer: a host window of its own class filled by the WebBrowser control.
#pragma once

#include "app/controls/browser_site.h"
#include "app/handles.h"
#include "app/window_base.h"
#include "encoding/text.h"

#include <windows.h>
#include <exdisp.h>

namespace cc {

struct HtmlViewerSettings {
    int x = 0, y = 0, width = 0, height = 0;
    int childId = 0;
    int textSize = 1;  // 0 (smallest) to 4 (largest)
    CLSID browserClass{};
};

// The text size handed to the browser, clamped to its range 0..4.
int ClampTextSize(int size);

class HtmlViewer : public WindowBase {
public:
    // Creates the host window and the browser control in it; false when either
    // cannot be made (what was made is released again).
    bool Create(HWND parent, const HtmlViewerSettings& settings);

    // Stores a copy of the address and starts loading it into the view.
    void SetAddress(const Text& address);
    const Text& Address() const { return address_; }

    // Offers a key message to the browser while the focus is inside it.
    bool TranslateAccelerator(MSG& message);

    // What the browser's last Release returned when it was let go; a right
    // reference count gives 0.
    ULONG LastReleaseCount() const { return lastRelease_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool CreateBrowser();
    void ApplyViewSettings();
    void OnSetFocus();
    void OnSize();
    void ReleaseBrowser();

    HtmlViewerSettings settings_;
    ComPtr<BrowserSite> site_;
    ComPtr<IOleObject> object_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<IOleInPlaceActiveObject> active_;
    ComPtr<IWebBrowser2> browser_;
    Text address_;
    ULONG lastRelease_ = 0;
};

}  // namespace cc
