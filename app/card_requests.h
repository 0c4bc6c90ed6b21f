// The card requests: the service's request URL, the welcome card asked for at
// start and the generate action behind the button.
#pragma once

#include "encoding/text.h"

#include <windows.h>

#include <cstdint>

namespace cc {

// The three constants of the request URL.
extern const char kRequestPrefix[];
extern const char kTypePiece[];
extern const char kWelcomeTypePiece[];

Text ComposeWelcomeUrl();
Text ComposeCardUrl(const Text& encodedName, const Text& typeText);

// What the generate action needs of the window and the user: the seam through
// which the tests watch it.
class CardActionPorts {
public:
    virtual ~CardActionPorts() = default;
    virtual Text ReadBox(int32_t controlId) = 0;
    virtual void SetViewAddress(const Text& url) = 0;
    virtual void ShowMessage(const Text& text) = 0;
};

// The ports of the running program: the window's properties and message boxes.
class WindowPorts final : public CardActionPorts {
public:
    Text ReadBox(int32_t controlId) override;
    void SetViewAddress(const Text& url) override;
    void ShowMessage(const Text& text) override;
};

// The message box of the generate action: no owner, OK alone, task-modal.
void ShowMessageBox(const Text& text);

void HandleWindowCreated();
void HandleGenerateClick();
DWORD WINAPI GenerateThreadProc(LPVOID parameter);
void GenerateCard(CardActionPorts& ports);
void GenerateCard();

}  // namespace cc
