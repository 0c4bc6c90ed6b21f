#include "app/controls/trans_label.h"

#include <string>

namespace cc {
namespace {

constexpr char kClassName[] = "ConfessionCardTransLabel";

}  // namespace

UINT LabelDrawFlags(bool wrapWords) {
    return DT_NOCLIP | DT_LEFT | DT_VCENTER | (wrapWords ? DT_WORDBREAK : DT_SINGLELINE);
}

LOGFONTA LabelPaintFont(const LOGFONTA& own) {
    LOGFONTA font = own;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    return font;
}

bool TransLabel::Create(HWND parent, const TransLabelSettings& settings) {
    settings_ = settings;
    if (!RegisterOnce(kClassName, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, nullptr)) return false;
    return CreateAsObject(WS_EX_TRANSPARENT, kClassName, settings.text, WS_CHILD | WS_CLIPSIBLINGS, settings.x,
                          settings.y, settings.width, settings.height, parent,
                          reinterpret_cast<HMENU>(INT_PTR{settings.childId}));
}

LRESULT TransLabel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    }
    return Default(message, wParam, lParam);
}

void TransLabel::OnPaint() {
    PaintScope paint(hwnd());
    const int length = ::GetWindowTextLengthA(hwnd());
    if (length <= 0) return;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(hwnd(), text.data(), length + 1);

    UniqueFont own;
    if (settings_.font) {
        const LOGFONTA values = LabelPaintFont(*settings_.font);
        own.reset(::CreateFontIndirectA(&values));
    }
    SelectScope font(paint.dc(), own ? static_cast<HGDIOBJ>(own.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(paint.dc(), TRANSPARENT);
    ::SetTextColor(paint.dc(), settings_.textColour);
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    ::DrawTextA(paint.dc(), text.c_str(), copied, &client, LabelDrawFlags(settings_.wrapWords));
}

}  // namespace cc
