// The floor of the benchmarks: the least that Windows asks of a program doing
// the tool's work. It initialises OLE, makes one window, hosts the WebBrowser
// control in place in it and points the control at the welcome card. A button
// starts a worker thread that asks the window's thread to point the control at
// a card of a fixed name and type, as the tool does when "生成" is pressed.
//
// Nothing else: no manifest, no icon, no edit boxes, no message boxes, no
// settings of the view, no keyboard handling. The benchmark measures the tool
// against this program, side by side, in the same run.
//
// The main window has the tool's class name, so that the driver of the
// end-to-end tests finds it the same way.
#include <windows.h>
#include <ole2.h>
#include <exdisp.h>

#include <utility>

namespace {

const wchar_t kWelcomeUrl[] = L"http://" CARD_SERVICE_HOST
    L"/app/index.php?c=entry&m=leo_generate&do=index&i=2&name=%E6%AC%A2%E8%BF%8E%E6%82%A8&type=5";
// The card of "小明" with declaration 3; the benchmark types the same into the tool.
const wchar_t kCardUrl[] = L"http://" CARD_SERVICE_HOST
    L"/app/index.php?c=entry&m=leo_generate&do=index&i=2&name=%E5%B0%8F%E6%98%8E&type=3";

constexpr char kClassName[] = "ConfessionCardMainWindow";
constexpr UINT kNavigateToCard = WM_APP + 1;
constexpr int kButtonId = 1;
constexpr RECT kBrowserArea{0, 0, 280, 416};

// One owned value, released once by the given function.
template <typename T, auto Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(T value) : value_(value) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T get() const { return value_; }
    T* put() { return &value_; }
    T release() { return std::exchange(value_, T{}); }
    void reset() {
        if (value_) Release(release());
    }
    T operator->() const { return value_; }
    explicit operator bool() const { return value_ != T{}; }

private:
    T value_{};
};

void ReleaseUnknown(IUnknown* object) { object->Release(); }
template <typename T>
using Com = Owned<T*, &ReleaseUnknown>;
using Bstr = Owned<BSTR, &::SysFreeString>;
using KernelHandle = Owned<HANDLE, &::CloseHandle>;
using Window = Owned<HWND, &::DestroyWindow>;

class OleScope {
public:
    OleScope() : result_(::OleInitialize(nullptr)) {}
    ~OleScope() {
        if (SUCCEEDED(result_)) ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// The container: client site, in-place site and frame in one object. It lives
// in the Browser, which closes the control before it goes, so it keeps no
// reference count.
class Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit Site(HWND window) : window_(window) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *object = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
            *object = static_cast<IOleInPlaceSite*>(this);
        } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
            *object = static_cast<IOleInPlaceFrame*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override {
        *window = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                  LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *frame = this;
        *document = nullptr;
        *position = kBrowserArea;
        *clip = kBrowserArea;
        info->fMDIApp = FALSE;
        info->hwndFrame = window_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    HWND window_;
};

// The control, active in place in the window from Open to Close.
class Browser {
public:
    explicit Browser(HWND window) : site_(window) {}
    ~Browser() { Close(); }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    bool Open(HWND window) {
        RECT area = kBrowserArea;
        return SUCCEEDED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                            reinterpret_cast<void**>(object_.put()))) &&
               SUCCEEDED(object_->SetClientSite(&site_)) &&
               SUCCEEDED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site_, 0, window, &area)) &&
               SUCCEEDED(object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser_.put())));
    }

    void Navigate(const wchar_t* url) {
        if (!browser_) return;
        Bstr address(::SysAllocString(url));
        browser_->Navigate(address.get(), nullptr, nullptr, nullptr, nullptr);
    }

    void Close() {
        if (!object_) return;
        Com<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.put())))) {
            inPlace->InPlaceDeactivate();
        }
        object_->SetClientSite(nullptr);
        object_->Close(OLECLOSE_NOSAVE);
        browser_.reset();
        object_.reset();
    }

private:
    Site site_;
    Com<IOleObject> object_;
    Com<IWebBrowser2> browser_;
};

DWORD WINAPI AskForCard(LPVOID window) {
    ::SendMessageA(static_cast<HWND>(window), kNavigateToCard, 0, 0);
    return 0;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* browser = reinterpret_cast<Browser*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED) {
            KernelHandle worker(::CreateThread(nullptr, 0, &AskForCard, window, 0, nullptr));
        }
        return 0;
    case kNavigateToCard:
        if (browser != nullptr) browser->Navigate(kCardUrl);
        return 0;
    case WM_DESTROY:
        if (browser != nullptr) browser->Close();
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    OleScope ole;
    if (!ole.ok()) return 1;
    WNDCLASSA cls{};
    cls.lpfnWndProc = &Procedure;
    cls.hInstance = instance;
    cls.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    cls.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    cls.lpszClassName = kClassName;
    if (::RegisterClassA(&cls) == 0) return 1;
    Window window(::CreateWindowExA(0, kClassName, "floor", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 380, 448, nullptr, nullptr, instance, nullptr));
    if (!window) return 1;
    ::CreateWindowExA(0, "BUTTON", "Go", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 286, 116, 80, 32,
                      window.get(), reinterpret_cast<HMENU>(INT_PTR{kButtonId}), instance, nullptr);
    Browser browser(window.get());
    if (!browser.Open(window.get())) return 1;
    ::SetWindowLongPtrA(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&browser));
    browser.Navigate(kWelcomeUrl);
    ::ShowWindow(window.get(), SW_SHOW);

    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    window.release();  // destroyed on WM_CLOSE already
    return 0;
}
