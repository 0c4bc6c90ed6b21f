// The browser view's container: the control is created, navigates, and is let
// go of with its last Release returning 0.
#include "app/controls/html_viewer.h"

#include <exdisp.h>
#include <gtest/gtest.h>

namespace {

class OleThread : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
    void TearDown() override { ::OleUninitialize(); }

    static void Pump(DWORD milliseconds) {
        const DWORD start = ::GetTickCount();
        MSG message;
        while (::GetTickCount() - start < milliseconds) {
            while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&message);
                ::DispatchMessageA(&message);
            }
            ::Sleep(10);
        }
    }

    static HWND MakeParent() {
        return ::CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 450,
                                 nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }
};

TEST_F(OleThread, LastReleaseOfTheBrowserReturnsZero) {
    HWND parent = MakeParent();
    ASSERT_NE(parent, nullptr);
    cc::HtmlViewer viewer;
    cc::HtmlViewerSettings settings;
    settings.width = 280, settings.height = 416, settings.childId = 7, settings.browserClass = CLSID_WebBrowser;
    ASSERT_TRUE(viewer.Create(parent, settings));
    viewer.SetAddress("about:blank");
    Pump(300);
    viewer.SetAddress("http://127.0.0.1:9/unreachable");
    Pump(300);
    EXPECT_EQ(viewer.Address(), "http://127.0.0.1:9/unreachable");
    ::DestroyWindow(parent);
    EXPECT_EQ(viewer.hwnd(), nullptr);
    EXPECT_EQ(viewer.LastReleaseCount(), 0u);
}

TEST_F(OleThread, UnknownControlClassFailsAndLeavesNoWindow) {
    HWND parent = MakeParent();
    ASSERT_NE(parent, nullptr);
    cc::HtmlViewer viewer;
    cc::HtmlViewerSettings settings;
    settings.width = 10, settings.height = 10;
    settings.browserClass = CLSID{0x0BADC0DE, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_FALSE(viewer.Create(parent, settings));
    EXPECT_EQ(viewer.hwnd(), nullptr);
    EXPECT_EQ(::GetWindow(parent, GW_CHILD), nullptr);
    ::DestroyWindow(parent);
}

}  // namespace
