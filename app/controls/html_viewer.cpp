#include "app/controls/html_viewer.h"

#include "encoding/code_page.h"

#include <docobj.h>
#include <oleauto.h>

#include <algorithm>

namespace cc {
namespace {

constexpr char kClassName[] = "ConfessionCardHtmlViewer";

// A VARIANT cleared on scope exit.
class ScopedVariant {
public:
    ScopedVariant() { ::VariantInit(&value_); }
    ~ScopedVariant() { ::VariantClear(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    static ScopedVariant Int(LONG number) {
        ScopedVariant v;
        v.value_.vt = VT_I4;
        v.value_.lVal = number;
        return v;
    }
    static ScopedVariant EmptyString() {
        ScopedVariant v;
        v.value_.vt = VT_BSTR;
        v.value_.bstrVal = ::SysAllocString(L"");
        return v;
    }
    ScopedVariant(ScopedVariant&& other) noexcept : value_(other.value_) { ::VariantInit(&other.value_); }
    VARIANT* get() { return &value_; }

private:
    VARIANT value_;
};

void FreeBstr(BSTR text) { ::SysFreeString(text); }
using UniqueBstr = UniqueHandle<BSTR, NullInvalidTraits<BSTR, decltype(&FreeBstr), &FreeBstr>>;

// The address as a BSTR: its bytes read in the system's ANSI code page, up to
// the first zero unit.
UniqueBstr ToBstr(const Text& address) {
    const ByteBuffer wide = AnsiToWide(address, kAnsiCodePage);
    const auto& bytes = wide.Bytes();
    UINT length = 0;
    while (2 * length + 1 < bytes.size() && (bytes[2 * length] | bytes[2 * length + 1]) != 0) ++length;
    UniqueBstr text(::SysAllocStringLen(nullptr, length));
    if (!text) return text;
    for (UINT i = 0; i < length; ++i) text.get()[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

}  // namespace

int ClampTextSize(int size) { return std::clamp(size, 0, 4); }

bool HtmlViewer::Create(HWND parent, const HtmlViewerSettings& settings) {
    settings_ = settings;
    if (!RegisterOnce(kClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                      static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)))) {
        return false;
    }
    if (!CreateAsObject(0, kClassName, "", WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP, settings.x, settings.y,
                        settings.width, settings.height, parent, reinterpret_cast<HMENU>(INT_PTR{settings.childId}))) {
        return false;
    }
    if (!CreateBrowser()) {
        ::DestroyWindow(hwnd());
        return false;
    }
    ApplyViewSettings();
    return true;
}

bool HtmlViewer::CreateBrowser() {
    HRESULT hr = ::CoCreateInstance(settings_.browserClass, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    object_.put_void());
    if (FAILED(hr)) return false;
    *site_.put() = new BrowserSite(hwnd());
    hr = object_->SetClientSite(site_.get());
    if (FAILED(hr)) return false;
    RECT area{};
    ::GetClientRect(hwnd(), &area);
    hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, hwnd(), &area);
    if (FAILED(hr)) return false;
    hr = object_.As(browser_);
    if (FAILED(hr)) return false;
    object_.As(inPlace_);
    object_.As(active_);
    return true;
}

void HtmlViewer::ApplyViewSettings() {
    browser_->put_Offline(VARIANT_FALSE);
    browser_->put_Silent(VARIANT_TRUE);
    ScopedVariant size = ScopedVariant::Int(ClampTextSize(settings_.textSize));
    browser_->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, size.get(), nullptr);
}

void HtmlViewer::SetAddress(const Text& address) {
    address_ = address;
    if (!browser_) return;
    UniqueBstr url = ToBstr(address_);
    ScopedVariant flags = ScopedVariant::Int(0);
    ScopedVariant targetFrame = ScopedVariant::EmptyString();
    ScopedVariant postData;
    ScopedVariant headers = ScopedVariant::EmptyString();
    browser_->Navigate(url.get(), flags.get(), targetFrame.get(), postData.get(), headers.get());
}

bool HtmlViewer::TranslateAccelerator(MSG& message) {
    return active_ && active_->TranslateAccelerator(&message) == S_OK;
}

LRESULT HtmlViewer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case WM_SIZE: OnSize(); return 0;
    case WM_DESTROY: ReleaseBrowser(); return 0;
    }
    return Default(message, wParam, lParam);
}

// The host hands the keyboard focus on to the browser's own window.
void HtmlViewer::OnSetFocus() {
    if (!inPlace_) return;
    HWND browserWindow = nullptr;
    if (SUCCEEDED(inPlace_->GetWindow(&browserWindow)) && browserWindow != nullptr) ::SetFocus(browserWindow);
}

void HtmlViewer::OnSize() {
    if (!inPlace_) return;
    RECT area{};
    ::GetClientRect(hwnd(), &area);
    inPlace_->SetObjectRects(&area, &area);
}

// Deactivate, detach the site, close, then let go of every interface, the
// object itself last.
void HtmlViewer::ReleaseBrowser() {
    if (!object_) return;
    if (inPlace_) inPlace_->InPlaceDeactivate();
    object_->SetClientSite(nullptr);
    object_->Close(OLECLOSE_NOSAVE);
    active_.reset();
    inPlace_.reset();
    browser_.reset();
    lastRelease_ = object_.reset();
    site_.reset();
}

}  // namespace cc
