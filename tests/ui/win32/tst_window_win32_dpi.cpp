// The window on a screen of another DPI: the real comterm.exe started
// while the screen's DPI is 144 or 192 (Wine reads it when a program starts),
// its place inside the work area, and the progress window's font. The test
// runs on four screens: 1600x1200, where the window fits at 144 DPI;
// 1600x1024, where only its bottom is out, so only its top moves; 1280x1024,
// where it is drawn a little smaller and moved on both axes; 1280x800 at 192
// DPI, where it is drawn much smaller.
#include "window_fixture_win32.h"
#include "work_area.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <tuple>

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

// The program started at `Dpi`, with COM1 on a device that reads nothing.
template <DWORD Dpi> class AtDpi : public ::testing::Test {
  protected:
    ScreenDpi dpi{Dpi};
    Device com1;
    PortMapping map1{"COM1", com1.path()};
    ProgramWindow program{programPath()};
};
using At144Dpi = AtDpi<144>;
using At192Dpi = AtDpi<192>;

// Whether `value` is `at96` scaled to `dpi`, give or take rounding.
bool isScaled(int value, int at96, int dpi = 144)
{
    return std::abs(value * 96 - at96 * dpi) <= 96;
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

// The window's outer rectangle: where the layout stores it (288, 208), at
// 1.5 times 870 x 640, and where it lands on each screen of this test. Where
// the scaled window fits it stays exactly; on 1600x1024 only its bottom is
// out, so it moves up just enough (1024 - 960) and stays at 288 across; on
// 1280x1024 it would be wider than the screen, so it is drawn at the largest
// scale that fits (141 DPI: 1278 x 940) and moved left and up just enough.
TEST_F(At144Dpi, PlacesTheWindowInsideTheWorkArea)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(
        GetMonitorInfoW(MonitorFromWindow(program.form(), MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT &work = monitor.rcWork;
    struct ScreenRow {
        LONG width, height;                      // of the work area
        LONG left, top, outerWidth, outerHeight; // of the window
    };
    const ScreenRow rows[] = {{1600, 1200, 288, 208, 1305, 960},
                              {1600, 1024, 288, 64, 1305, 960},
                              {1280, 1024, 2, 84, 1278, 940}};
    const auto row = std::find_if(std::begin(rows), std::end(rows), [&](const ScreenRow &r) {
        return r.width == work.right - work.left && r.height == work.bottom - work.top;
    });
    ASSERT_NE(row, std::end(rows)) << "no row for a work area of " << work.right - work.left
                                   << " x " << work.bottom - work.top;
    RECT outer{};
    GetWindowRect(program.form(), &outer);
    EXPECT_EQ(outer.left, work.left + row->left);
    EXPECT_EQ(outer.top, work.top + row->top);
    EXPECT_EQ(outer.right - outer.left, row->outerWidth);
    EXPECT_EQ(outer.bottom - outer.top, row->outerHeight);
}

// At 200 % on 1280x800 the window would be 1740 x 1280: it is drawn at 120
// DPI instead (1088 x 800), controls and font together, and stays whole on
// the screen with its close box.
TEST_F(At192Dpi, DrawsTheWindowAtTheLargestScaleThatFits)
{
    RECT outer{};
    GetWindowRect(program.form(), &outer);
    EXPECT_EQ(outer.left, 192);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right - outer.left, 1088);
    EXPECT_EQ(outer.bottom - outer.top, 800);
    for (const ControlRow &row : controls) {
        SCOPED_TRACE("control " + std::to_string(row.id));
        const ClientRect r = clientRectOf(program.control(row.id));
        EXPECT_TRUE(isScaled(r.left, row.rect.left, 120) && isScaled(r.top, row.rect.top, 120) &&
                    isScaled(r.width, row.rect.width, 120) &&
                    isScaled(r.height, row.rect.height, 120))
            << ::testing::PrintToString(r) << " is not 1.25 times "
            << ::testing::PrintToString(row.rect);
    }
}

// The progress window's font, looked at from inside a process started at
// 144 DPI: this test program again, running the in-process test of
// tst_window_win32_font.cpp (another process cannot read a font's LOGFONT).
TEST_F(At144Dpi, TheProgressWindowDrawsInTheFormsFontScaled)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L'"' + std::wstring(self) + L"\" --gtest_filter=ProgressFont.*";
    const ScopedVariable expected(L"COMTERM_EXPECT_DPI", L"144");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &child));
    EXPECT_EQ(exitStatusOf(child, 60000), std::optional<DWORD>(0))
        << "the font test failed or did not end at 144 DPI (its output is above)";
}

struct FitRow {
    const char *name;
    RECT window, area, expected;
};

void PrintTo(const FitRow &row, std::ostream *out)
{
    *out << row.name;
}

// The system's rectangles through the shared rule (tst_window_fit holds its
// table): a window past a taskbar below, and one left of a second monitor's
// work area.
const FitRow fitRows[] = {
    {"PastTheTaskbarMovesUpJustEnough",
     {288, 208, 1158, 1048},
     {0, 0, 1280, 984},
     {288, 144, 1158, 984}},
    {"TaskbarOnTheLeftOfASecondMonitor",
     {1300, 700, 2170, 1340},
     {1360, 0, 3200, 1080},
     {1360, 440, 2230, 1080}},
};

class WorkArea : public ::testing::TestWithParam<FitRow> {};

TEST_P(WorkArea, MovesTheWindowJustEnoughToFit)
{
    const FitRow &row = GetParam();
    const RECT fitted = work_area::fit(row.window, row.area);
    const auto tuple = [](const RECT &r) { return std::tuple(r.left, r.top, r.right, r.bottom); };
    EXPECT_EQ(tuple(fitted), tuple(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, WorkArea, ::testing::ValuesIn(fitRows),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
