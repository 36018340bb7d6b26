// The long send's progress window draws in the form's dialog font at the
// window's DPI: looked at from inside, with a TForm1 and a SendProgress made
// in this process, since another process cannot read a font's LOGFONT. It
// runs at this process's DPI; the DPI test runs it again in a process started
// at 144 DPI, which sets COMTERM_EXPECT_DPI.
#include "dpi.h"
#include "program_window.h"
#include "send_progress.h"
#include "tform1.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>

namespace {

using namespace std::chrono_literals;

LOGFONTW logFontOf(HWND window)
{
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    if (handle == nullptr || GetObjectW(handle, sizeof font, &font) == 0)
        return {};
    return font;
}

TEST(ProgressFont, IsTheFormsDialogFontAtTheWindowsDpi)
{
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    TForm1 form;
    form.Show();
    SendProgress progress(
        form.Handle(), [](bool) {}, [] { return false; });
    // The window shows once the send has taken half a second.
    const HWND window = pollFor(
        [&] {
            progress(1, 10);
            return FindWindowW(L"comterm.SendProgress", nullptr);
        },
        5s);
    ASSERT_NE(window, nullptr) << "no progress window";
    const UINT windowDpi = dpi::of(window);
    if (const char *expected = std::getenv("COMTERM_EXPECT_DPI")) {
        EXPECT_EQ(windowDpi, std::stoul(expected)) << "the process did not start at that DPI";
    }

    const LOGFONTW formFont = logFontOf(form.Handle());
    EXPECT_NE(formFont.lfFaceName[0], L'\0') << "the form answers WM_GETFONT with its font";
    EXPECT_EQ(formFont.lfHeight, -MulDiv(11, static_cast<int>(windowDpi), 96))
        << "the form's font at " << windowDpi << " DPI";
    // For a person to look at: the progress window over the form.
    UpdateWindow(window);
    screenshotOf(form.Handle(), L"progress-" + std::to_wstring(windowDpi) + L"dpi.bmp");

    for (const HWND control :
         {FindWindowExW(window, nullptr, L"Static", nullptr), GetDlgItem(window, IDCANCEL)}) {
        SCOPED_TRACE(classOf(control));
        const LOGFONTW font = logFontOf(control);
        EXPECT_EQ(std::wstring(font.lfFaceName), std::wstring(formFont.lfFaceName));
        EXPECT_EQ(font.lfHeight, formFont.lfHeight);
    }
}

} // namespace
