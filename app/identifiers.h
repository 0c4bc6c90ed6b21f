// The identifiers by which the handlers name the window, its controls and the
// properties they read or write.
#pragma once

#include <cstdint>

namespace cc {

constexpr int32_t kMainWindowId = 0x52010001;

constexpr int32_t kBrowserViewId = 0x16011EBC;  // 超文本浏览框1
constexpr int32_t kLegendLabelId = 0x16011EAE;  // 透明标签3
constexpr int32_t kTypeLabelId = 0x16011EAD;    // 透明标签2
constexpr int32_t kNameLabelId = 0x16011EAC;    // 透明标签1
constexpr int32_t kGenerateButtonId = 0x16010006;  // 按钮1
constexpr int32_t kTypeBoxId = 0x16010005;      // 编辑框2
constexpr int32_t kNameBoxId = 0x16010004;      // 编辑框1

constexpr int32_t kEditBoxContent = 8;      // property of an EditBox
constexpr int32_t kHtmlViewerAddress = 11;  // property of an HtmlViewer

constexpr int32_t kWholeValue = -1;  // the "part" argument for a whole value

}  // namespace cc
