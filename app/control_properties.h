// Reading and writing control properties by window and control identifier,
// from any thread. The access itself always happens on the UI thread, which
// owns the controls; a caller on another thread waits until it is done.
#pragma once

#include "encoding/text.h"

#include <windows.h>

#include <cstdint>

namespace cc {

// A request carried by a synchronous message to the window, on the caller's
// stack; the window fills in the answer before the message returns.
struct PropertyRequest {
    enum class Status { kUnanswered, kDone, kNoSuchControl };

    int32_t controlId = 0;
    int32_t property = 0;
    int32_t part = -1;
    const Text* value = nullptr;  // set for a write
    Text result;                  // filled for a read
    Status status = Status::kUnanswered;
};

constexpr UINT kPropertyRequestMessage = WM_APP + 0x3F1;

// Property 8 of an EditBox: its whole text, unchanged.
Text ReadControlProperty(int32_t windowId, int32_t controlId, int32_t property, int32_t part);

// Property 11 of an HtmlViewer: sets the address and starts loading it;
// returns once loading has started. The caller keeps its value.
void WriteControlProperty(int32_t windowId, int32_t controlId, int32_t property, int32_t part, const Text& value);

}  // namespace cc
