// The arithmetic and the rules of the window and its controls.
#include "app/controls/edit_box.h"
#include "app/controls/html_viewer.h"
#include "app/controls/trans_label.h"
#include "app/main_window.h"

#include <gtest/gtest.h>

namespace {

TEST(CentredOrigin, TruncatesEachDivisionTowardZero) {
    struct Case {
        int screenWidth, screenHeight;
        LONG left, top;
    };
    const Case cases[] = {
        {1280, 1024, 450, 288}, {1024, 768, 322, 160}, {381, 449, 0, 0},
        {383, 451, 1, 1},       {379, 447, 0, 0},      {300, 200, -40, -124},
        {299, 199, -40, -124},  {0, 0, -190, -224},
    };
    for (const auto& c : cases) {
        const POINT origin = cc::CentredOrigin(c.screenWidth, c.screenHeight, 380, 448);
        EXPECT_EQ(origin.x, c.left) << c.screenWidth;
        EXPECT_EQ(origin.y, c.top) << c.screenHeight;
    }
}

TEST(TypeBoxFilter, TakesDigitsMinusFullStopAndControlCodesOnly) {
    for (WPARAM code = 0; code < 0x100; ++code) {
        const bool expected = code < 0x20 || code == 0x2D || code == 0x2E || (code >= 0x30 && code <= 0x39);
        EXPECT_EQ(cc::IsAcceptedTypedChar(code), expected) << "code " << code;
    }
    // A double-byte character arrives as two bytes, each dropped; so does a
    // full-width digit.
    EXPECT_FALSE(cc::IsAcceptedTypedChar(0xA3));
    EXPECT_FALSE(cc::IsAcceptedTypedChar(0xB1));
    EXPECT_FALSE(cc::IsAcceptedTypedChar(0xFF11));
}

TEST(EditBoxHeight, TallCharacterPlusTwoEdges) {
    EXPECT_EQ(cc::MinimumEditHeight(14, 2), 18);
    EXPECT_EQ(cc::MinimumEditHeight(16, 2), 20);
    EXPECT_EQ(cc::MinimumEditHeight(0, 0), 0);
}

TEST(EditBoxLine, CentredInTheClientAreaWithTheSpareHalvedDown) {
    struct Case {
        LONG top, bottom;
        int line;
        LONG expectedTop, expectedBottom;
    };
    const Case cases[] = {
        {0, 18, 13, 2, 15},  // spare 5: 2 above, 3 below
        {0, 18, 14, 2, 16},  // spare 4
        {5, 25, 13, 8, 21},  // offset client area
        {0, 13, 13, 0, 13},  // no spare
        {0, 10, 13, 0, 10},  // lower than a line: left as it is
    };
    for (const auto& c : cases) {
        const auto band = cc::CentreLine(c.top, c.bottom, c.line);
        EXPECT_EQ(band.top, c.expectedTop) << c.top << ".." << c.bottom << " line " << c.line;
        EXPECT_EQ(band.bottom, c.expectedBottom) << c.top << ".." << c.bottom << " line " << c.line;
    }
}

TEST(TransLabelPaint, DrawFlagsPerLayout) {
    EXPECT_EQ(cc::LabelDrawFlags(false), UINT{DT_NOCLIP | DT_LEFT | DT_SINGLELINE | DT_VCENTER});
    EXPECT_EQ(cc::LabelDrawFlags(true), UINT{DT_NOCLIP | DT_LEFT | DT_WORDBREAK | DT_VCENTER});
}

TEST(TransLabelPaint, OwnFontKeepsItsValuesWithTheFixedRenderingSettings) {
    LOGFONTA own{};
    own.lfHeight = -12;
    own.lfWeight = 400;
    own.lfItalic = TRUE;
    own.lfCharSet = GB2312_CHARSET;
    own.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    own.lfClipPrecision = CLIP_STROKE_PRECIS;
    own.lfQuality = ANTIALIASED_QUALITY;
    own.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpyA(own.lfFaceName, "Face");
    const LOGFONTA painted = cc::LabelPaintFont(own);
    EXPECT_EQ(painted.lfHeight, -12);
    EXPECT_EQ(painted.lfWeight, 400);
    EXPECT_EQ(painted.lfItalic, TRUE);
    EXPECT_STREQ(painted.lfFaceName, "Face");
    EXPECT_EQ(painted.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(painted.lfOutPrecision, 0);
    EXPECT_EQ(painted.lfClipPrecision, 0);
    EXPECT_EQ(painted.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(painted.lfPitchAndFamily, DEFAULT_PITCH);
}

TEST(HtmlViewerTextSize, ClampedToTheBrowsersRange) {
    const int cases[][2] = {{-7, 0}, {0, 0}, {1, 1}, {4, 4}, {5, 4}, {1000, 4}};
    for (const auto& c : cases) EXPECT_EQ(cc::ClampTextSize(c[0]), c[1]) << c[0];
}

TEST(LegendMouseKeys, CtrlShiftAltAddUp) {
    EXPECT_EQ(cc::MouseKeyState(MK_LBUTTON, false), 0);
    EXPECT_EQ(cc::MouseKeyState(MK_LBUTTON | MK_CONTROL, false), 1);
    EXPECT_EQ(cc::MouseKeyState(MK_SHIFT, false), 2);
    EXPECT_EQ(cc::MouseKeyState(0, true), 4);
    EXPECT_EQ(cc::MouseKeyState(MK_CONTROL | MK_SHIFT, true), 7);
}

}  // namespace
