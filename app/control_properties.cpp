#include "app/control_properties.h"

#include "app/identifiers.h"
#include "app/runtime_error.h"

#include <string>

namespace cc {
namespace {

constexpr char kWindowNotLoaded[] = "未载入欲访问窗口组件所在的窗口";
constexpr char kControlNotLoaded[] = "指定窗口尚未载入";

BOOL CALLBACK TakeMainWindow(HWND window, LPARAM param) {
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) != kEndTargetClassName) return TRUE;
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
}

// The open window with the given identifier, or null.
HWND FindWindowById(int32_t windowId) {
    if (windowId != kMainWindowId || UiThreadId() == 0) return nullptr;
    HWND found = nullptr;
    ::EnumThreadWindows(UiThreadId(), &TakeMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Hands the request to the window's thread and waits for its answer. A window
// that is gone, or goes while the request is on its way, ends the program.
void Submit(int32_t windowId, PropertyRequest& request) {
    HWND window = FindWindowById(windowId);
    if (window != nullptr) ::SendMessageA(window, kPropertyRequestMessage, 0, reinterpret_cast<LPARAM>(&request));
    if (request.status == PropertyRequest::Status::kUnanswered) RaiseRuntimeError(kNoErrorCode, kWindowNotLoaded);
    if (request.status == PropertyRequest::Status::kNoSuchControl) RaiseRuntimeError(kNoErrorCode, kControlNotLoaded);
}

}  // namespace

Text ReadControlProperty(int32_t windowId, int32_t controlId, int32_t property, int32_t part) {
    PropertyRequest request;
    request.controlId = controlId;
    request.property = property;
    request.part = part;
    Submit(windowId, request);
    return request.result;
}

void WriteControlProperty(int32_t windowId, int32_t controlId, int32_t property, int32_t part, const Text& value) {
    PropertyRequest request;
    request.controlId = controlId;
    request.property = property;
    request.part = part;
    request.value = &value;
    Submit(windowId, request);
}

}  // namespace cc
