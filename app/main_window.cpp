#include "app/main_window.h"

#include "app/identifiers.h"
#include "app/runtime_error.h"

#include <cstring>

namespace cc {
namespace {

constexpr char kCaption[] = "Quillmere Tarvox By:Brenn ";
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr char kLegendText[] =
    "表白语句说明：\r\n\r\n1=嫁给我吧\r\n\r\n2=来娶我吧\r\n\r\n3=我爱你\r\n\r\n4=我喜欢你\r\n\r\n5=耍朋友不";
constexpr char kLegendFace[] = "微软雅黑";

// The ids that the platform sees for the controls.
enum ChildId : int {
    kNameBoxChild = 101,
    kTypeBoxChild,
    kGenerateButtonChild,
    kNameLabelChild,
    kTypeLabelChild,
    kLegendLabelChild,
    kBrowserViewChild,
};

LOGFONTA LegendFont() {
    LOGFONTA font{};
    font.lfHeight = -12;
    font.lfWeight = FW_NORMAL;
    std::strncpy(font.lfFaceName, kLegendFace, LF_FACESIZE - 1);
    return font;
}

void SetIcon(HWND window, WPARAM which, int size) {
    auto icon = static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), "DEFAULT_ICON", IMAGE_ICON, size, size, LR_SHARED));
    if (icon != nullptr) ::SendMessageA(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
}

}  // namespace

POINT CentredOrigin(int screenWidth, int screenHeight, int width, int height) {
    return POINT{(screenWidth - width) / 2, (screenHeight - height) / 2};
}

int32_t MouseKeyState(WPARAM mouseKeys, bool altDown) {
    int32_t keys = 0;
    if (mouseKeys & MK_CONTROL) keys += 1;
    if (mouseKeys & MK_SHIFT) keys += 2;
    if (altDown) keys += 4;
    return keys;
}

bool MainWindow::Create(const MainWindowSettings& settings) {
    settings_ = settings;
    // No background brush: WM_PAINT fills what is to be painted.
    if (!RegisterOnce(kEndTargetClassName, 0, nullptr)) return false;

    const POINT origin = CentredOrigin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                                       kMainWindowWidth, kMainWindowHeight);
    if (!CreateAsObject(0, kEndTargetClassName, kCaption, kWindowStyle, origin.x, origin.y, kMainWindowWidth,
                        kMainWindowHeight, nullptr, nullptr)) {
        return false;
    }
    RECT outer{};
    ::GetWindowRect(hwnd(), &outer);
    if (outer.right - outer.left != kMainWindowWidth || outer.bottom - outer.top != kMainWindowHeight) {
        ::SetWindowPos(hwnd(), nullptr, origin.x, origin.y, kMainWindowWidth, kMainWindowHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageA(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SetIcon(hwnd(), ICON_BIG, 32);
    SetIcon(hwnd(), ICON_SMALL, 16);

    if (!CreateControls()) {
        ::DestroyWindow(hwnd());
        return false;
    }
    StackAndShowControls();
    return true;
}

bool MainWindow::CreateControls() {
    EditBoxSettings name;
    name.x = 286, name.y = 38, name.width = 80, name.height = 20, name.childId = kNameBoxChild;
    EditBoxSettings type;
    type.text = "1", type.x = 287, type.y = 86, type.width = 80, type.height = 20, type.childId = kTypeBoxChild;
    type.centred = true, type.numericInput = true;
    ButtonSettings button;
    button.caption = "生成", button.x = 286, button.y = 116, button.width = 80, button.height = 32;
    button.childId = kGenerateButtonChild;
    TransLabelSettings nameLabel;
    nameLabel.text = "名字", nameLabel.x = 285, nameLabel.y = 16, nameLabel.width = 100, nameLabel.height = 24;
    nameLabel.childId = kNameLabelChild;
    TransLabelSettings typeLabel;
    typeLabel.text = "表白语句", typeLabel.x = 286, typeLabel.y = 64, typeLabel.width = 100, typeLabel.height = 24;
    typeLabel.childId = kTypeLabelChild;
    TransLabelSettings legend;
    legend.text = kLegendText, legend.x = 285, legend.y = 157, legend.width = 107, legend.height = 243;
    legend.childId = kLegendLabelChild, legend.font = LegendFont(), legend.wrapWords = true;
    HtmlViewerSettings view;
    view.x = 0, view.y = 0, view.width = 280, view.height = 416, view.childId = kBrowserViewChild;
    view.textSize = 1, view.browserClass = settings_.browserClass;

    return nameBox_.Create(hwnd(), name) && typeBox_.Create(hwnd(), type) &&
           generateButton_.Create(hwnd(), button) && nameLabel_.Create(hwnd(), nameLabel) &&
           typeLabel_.Create(hwnd(), typeLabel) && legendLabel_.Create(hwnd(), legend) &&
           browserView_.Create(hwnd(), view);
}

// Stacked from the top: the browser view, the legend, the two captions, the
// button, the type box, the name box. Then shown, without activating any.
void MainWindow::StackAndShowControls() {
    const HWND order[] = {browserView_.hwnd(), legendLabel_.hwnd(), typeLabel_.hwnd(), nameLabel_.hwnd(),
                          generateButton_.hwnd(), typeBox_.hwnd(), nameBox_.hwnd()};
    HWND above = HWND_TOP;
    for (HWND control : order) {
        ::SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = control;
    }
    for (HWND control : order) ::ShowWindow(control, SW_SHOWNA);
}

void MainWindow::RaiseCreated() {
    if (settings_.events.created != nullptr) settings_.events.created();
}

void MainWindow::Show() {
    if (Exists()) ::ShowWindow(hwnd(), SW_SHOW);
}

bool MainWindow::IsOwnWindow(HWND window) const {
    return window != nullptr && (window == hwnd() || ::IsChild(hwnd(), window));
}

// How far below the view's host a window lies: 0 for the host, -1 outside.
int MainWindow::BrowserViewDepth(HWND window) const {
    int depth = 0;
    for (HWND w = window; w != nullptr; w = ::GetParent(w), ++depth) {
        if (w == browserView_.hwnd()) return depth;
        if (w == hwnd()) break;
    }
    return -1;
}

bool MainWindow::IsInsideBrowserView(HWND window) const { return BrowserViewDepth(window) >= 0; }

bool MainWindow::FilterMessage(MSG& message) {
    if (!Exists() || !IsOwnWindow(message.hwnd)) return false;
    if (message.message == WM_KEYDOWN && FilterKey(message)) return true;
    if (message.message == WM_LBUTTONDOWN && message.hwnd == legendLabel_.hwnd() &&
        settings_.events.legendMouseDown != nullptr) {
        const auto x = static_cast<int32_t>(LOWORD(message.lParam));
        const auto y = static_cast<int32_t>(HIWORD(message.lParam));
        const auto result =
            settings_.events.legendMouseDown(x, y, MouseKeyState(message.wParam, ::GetKeyState(VK_MENU) < 0));
        if (result.has_value() && !*result) return true;
    }
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST && IsInsideBrowserView(message.hwnd)) {
        return browserView_.TranslateAccelerator(message);
    }
    return false;
}

bool MainWindow::FilterKey(MSG& message) {
    switch (message.wParam) {
    case VK_ESCAPE:
        ::SendMessageA(hwnd(), WM_CLOSE, 0, 0);
        return true;
    case VK_TAB:
        // Deep inside the page the browser moves among its own links first.
        if (BrowserViewDepth(message.hwnd) > 1 && browserView_.TranslateAccelerator(message)) return true;
        MoveFocus(message.hwnd, ::GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_F1:
        return true;  // there is no help
    }
    return false;
}

// Tab order: the name box, the type box, the button, the browser view.
void MainWindow::MoveFocus(HWND from, bool backwards) {
    const HWND stops[] = {nameBox_.hwnd(), typeBox_.hwnd(), generateButton_.hwnd(), browserView_.hwnd()};
    constexpr int count = 4;
    int current = -1;
    for (int i = 0; i < count; ++i) {
        if (from == stops[i] || (i == 3 && IsInsideBrowserView(from))) current = i;
    }
    int next = 0;
    if (current >= 0) next = backwards ? (current + count - 1) % count : (current + 1) % count;
    ::SetFocus(stops[next]);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_SETFOCUS: OnSetFocus(); return 0;
    case WM_ACTIVATE: OnActivate(wParam); break;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_CTLCOLOREDIT:
        ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
        ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    case WM_DESTROY:
        if (loopStarted_) ::PostQuitMessage(0);
        return 0;
    case kPropertyRequestMessage: OnPropertyRequest(*reinterpret_cast<PropertyRequest*>(lParam)); return 0;
    case kEndAfterRuntimeErrorMessage: EndProcessOnUiThread(static_cast<UINT>(-1));
    }
    return Default(message, wParam, lParam);
}

void MainWindow::OnPaint() {
    PaintScope paint(hwnd());
    ::FillRect(paint.dc(), &paint.area(), static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

// The focus returns to the control that had it, or goes to the first tab stop.
void MainWindow::OnSetFocus() {
    HWND target = IsOwnWindow(lastFocus_) && lastFocus_ != hwnd() ? lastFocus_ : nameBox_.hwnd();
    ::SetFocus(target);
}

void MainWindow::OnActivate(WPARAM state) {
    if (LOWORD(state) != WA_INACTIVE) return;
    HWND focus = ::GetFocus();
    if (IsOwnWindow(focus)) lastFocus_ = focus;
}

void MainWindow::OnCommand(WORD id, WORD code) {
    if (id == kGenerateButtonChild && code == BN_CLICKED && settings_.events.generateClicked != nullptr) {
        settings_.events.generateClicked();
    }
}

void MainWindow::OnPropertyRequest(PropertyRequest& request) {
    if (request.controlId == kNameBoxId || request.controlId == kTypeBoxId) {
        const EditBox& box = request.controlId == kNameBoxId ? nameBox_ : typeBox_;
        if (box.hwnd() == nullptr) {
            request.status = PropertyRequest::Status::kNoSuchControl;
            return;
        }
        if (request.property == kEditBoxContent && request.value == nullptr) request.result = box.Content();
        request.status = PropertyRequest::Status::kDone;
        return;
    }
    if (request.controlId == kBrowserViewId) {
        if (browserView_.hwnd() == nullptr) {
            request.status = PropertyRequest::Status::kNoSuchControl;
            return;
        }
        if (request.property == kHtmlViewerAddress && request.value != nullptr) browserView_.SetAddress(*request.value);
        request.status = PropertyRequest::Status::kDone;
        return;
    }
    request.status = PropertyRequest::Status::kNoSuchControl;
}

}  // namespace cc
