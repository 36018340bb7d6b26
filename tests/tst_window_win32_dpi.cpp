// The window on a screen of another DPI: the real comterm.exe started
// while the screen's DPI is 144 (Wine reads it when a program starts).
#include "window_fixture_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

using namespace std::chrono_literals;
using namespace window_test;

// Sets the screen's DPI for programs started while it lives (Wine reads it
// from the registry when a program starts), then puts the old value back.
class ScreenDpi {
  public:
    explicit ScreenDpi(DWORD dpi)
    {
        had_ = RegGetValueW(HKEY_CURRENT_USER, key, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old_,
                            &size_) == ERROR_SUCCESS;
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    ~ScreenDpi()
    {
        if (had_)
            RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &old_, sizeof old_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
    }
    ScreenDpi(const ScreenDpi &) = delete;
    ScreenDpi &operator=(const ScreenDpi &) = delete;

  private:
    static constexpr const wchar_t *key = L"Control Panel\\Desktop";
    DWORD old_ = 0, size_ = sizeof old_;
    bool had_ = false;
};

// The program started at 144 DPI, with COM1 on a device that reads nothing.
class At144Dpi : public ::testing::Test {
  protected:
    ScreenDpi dpi{144};
    Device com1;
    PortMapping map1{"COM1", com1.path()};
    ProgramWindow program{programPath()};
};

// Whether `value` is `at96` scaled by 1.5, give or take rounding.
bool isScaled(int value, int at96)
{
    return std::abs(value * 2 - at96 * 3) <= 2;
}

TEST_F(At144Dpi, ScalesTheWindowAndItsLayout)
{
    RECT outer{};
    GetWindowRect(program.form(), &outer);
    EXPECT_TRUE(isScaled(outer.right - outer.left, 870) && isScaled(outer.bottom - outer.top, 640))
        << "the window is " << outer.right - outer.left << " x " << outer.bottom - outer.top
        << ", not 1.5 times 870 x 640";
    for (const ControlRow &row : controls) {
        SCOPED_TRACE("control " + std::to_string(row.id));
        const ClientRect r = clientRectOf(program.control(row.id));
        EXPECT_TRUE(isScaled(r.left, row.rect.left) && isScaled(r.top, row.rect.top) &&
                    isScaled(r.width, row.rect.width) && isScaled(r.height, row.rect.height))
            << ::testing::PrintToString(r) << " is not 1.5 times "
            << ::testing::PrintToString(row.rect);
    }
}

} // namespace
