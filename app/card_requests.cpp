#include "app/card_requests.h"

#include "app/control_properties.h"
#include "app/handles.h"
#include "app/identifiers.h"
#include "app/system_functions.h"
#include "encoding/url_encode.h"

namespace cc {
namespace {

constexpr char kValidationMessage[] = "名字或者表白语句不能为空";
constexpr char kSuccessMessage[] = "已生成完毕,右键点击（图片另存为）即可保存哦\r\n如果没有成功请多生成几次！";
constexpr char kWelcomeName[] = "欢迎您";
constexpr char kMessageCaption[] = "信息：";
constexpr UINT kMessageBoxType = MB_TASKMODAL;  // 0x2000: OK alone, no icon

Text EncodeName(const Text& name) { return UrlEncode(name, std::nullopt, true); }

}  // namespace

#ifndef CARD_SERVICE_HOST
#error "CARD_SERVICE_HOST must name the card service's host"
#endif

const char kRequestPrefix[] = "http://" CARD_SERVICE_HOST "/app/index.php?c=entry&m=leo_generate&do=index&i=2&name=";
const char kTypePiece[] = "&type=";
const char kWelcomeTypePiece[] = "&type=5";

Text ComposeWelcomeUrl() { return kRequestPrefix + EncodeName(kWelcomeName) + kWelcomeTypePiece; }

Text ComposeCardUrl(const Text& encodedName, const Text& typeText) {
    return kRequestPrefix + encodedName + kTypePiece + typeText;
}

Text WindowPorts::ReadBox(int32_t controlId) {
    return ReadControlProperty(kMainWindowId, controlId, kEditBoxContent, kWholeValue);
}

void WindowPorts::SetViewAddress(const Text& url) {
    WriteControlProperty(kMainWindowId, kBrowserViewId, kHtmlViewerAddress, kWholeValue, url);
}

void WindowPorts::ShowMessage(const Text& text) { ShowMessageBox(text); }

void ShowMessageBox(const Text& text) { ::MessageBoxA(nullptr, text.c_str(), kMessageCaption, kMessageBoxType); }

void HandleWindowCreated() { WindowPorts().SetViewAddress(ComposeWelcomeUrl()); }

// One worker per click; the click handler returns at once and waits for
// nothing. The thread's handle is closed straight away: nothing ever waits on
// it, and an open handle per click would only pile up.
void HandleGenerateClick() {
    DWORD threadId = 0;
    UniqueKernelHandle worker(system_functions::CreateThread(nullptr, 0, &GenerateThreadProc, nullptr, 0, &threadId));
}

DWORD WINAPI GenerateThreadProc(LPVOID) {
    GenerateCard();
    return 0;
}

void GenerateCard() {
    WindowPorts ports;
    GenerateCard(ports);
}

// The boxes are tested first, then read again for the request: the values that
// go into the URL are those of the second reads.
void GenerateCard(CardActionPorts& ports) {
    if (ports.ReadBox(kNameBoxId).empty() || ports.ReadBox(kTypeBoxId).empty()) {
        ports.ShowMessage(kValidationMessage);
        return;
    }
    const Text encodedName = EncodeName(ports.ReadBox(kNameBoxId));
    ports.SetViewAddress(ComposeCardUrl(encodedName, ports.ReadBox(kTypeBoxId)));
    ports.ShowMessage(kSuccessMessage);
}

}  // namespace cc
