// The rule that keeps a window whole on its screen, as both front ends share
// it: where a window is moved inside the area that taskbars and panels leave
// free, and the scale it is drawn at when it would not fit at the screen's.
// Each front end's own rectangles are tested once through its adapter
// (tst_screen_fit for Qt, tst_window_win32_dpi for Win32).
#include "window_fit.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using layout::Rect;

struct FitRow {
    const char *name;
    Rect frame, area;
    int left, top; // where the frame lands; its size never changes
};

void PrintTo(const FitRow &row, std::ostream *out)
{
    *out << row.name;
}

// The main window at 96 DPI is 870 x 640 at (288, 208); at 144 DPI it is
// 1305 x 960. A work area of 1280x984 leaves a taskbar of 40 below.
constexpr Rect form{288, 208, 870, 640};
const FitRow fitRows[] = {
    {"FitsAndStaysExactly", form, {0, 0, 1280, 1024}, 288, 208},
    {"FitsAboveATaskbarAndStaysExactly", form, {0, 0, 1280, 984}, 288, 208},
    {"TouchesTheBottomAndRightEdgesAndStays", form, {0, 0, 1158, 848}, 288, 208},
    {"AsLargeAsTheAreaStaysOnIt", {0, 0, 1280, 984}, {0, 0, 1280, 984}, 0, 0},
    {"PastTheBottomMovesUpJustEnough", form, {0, 0, 1280, 720}, 288, 80},
    {"PastThePanelsBottomMovesUpToItsEdge", form, {0, 0, 1280, 800}, 288, 160},
    {"PastTheTaskbarMovesUpJustEnough", {288, 208, 870, 840}, {0, 0, 1280, 984}, 288, 144},
    {"PastTheRightMovesLeftJustEnough", form, {0, 0, 1024, 1024}, 154, 208},
    {"PastTheRightOnlyMovesLeftOnly", {600, 100, 800, 600}, {0, 0, 1280, 984}, 480, 100},
    {"PastTheLeftAndTopMovesIn", {-50, -20, 850, 620}, {0, 0, 1280, 984}, 0, 0},
    {"AboveTheTopOnlyMovesDownOnly", {288, -30, 870, 640}, {0, 0, 1280, 984}, 288, 0},
    {"PastTheLeftOnlyMovesRightOnly", {-40, 208, 870, 640}, {0, 0, 1280, 984}, 0, 208},
    {"AboveAndLeftOfAnAreaBelowATopPanelMovesToItsCorner",
     {-40, 10, 870, 640},
     {0, 32, 1280, 992},
     0,
     32},
    {"WiderThanTheAreaStartsAtItsLeft", form, {100, 0, 800, 1024}, 100, 208},
    {"WiderAndPastTheBottomStartsAtItsLeftAndMovesUp",
     {288, 208, 1305, 960},
     {0, 0, 1280, 1024},
     0,
     64},
    {"LargerThanTheAreaStartsAtItsTopLeft", form, {10, 20, 800, 600}, 10, 20},
    {"LargerAtTheScaleStartsAtTheTopLeft", {288, 208, 1305, 960}, {0, 0, 1024, 728}, 0, 0},
    {"OnASecondScreenMovesWithinIt", {1500, 500, 870, 640}, {1280, 0, 1920, 1080}, 1500, 440},
    {"TaskbarOnTheLeftOfASecondMonitor", {1300, 700, 870, 640}, {1360, 0, 1840, 1080}, 1360, 440},
};

class FitInto : public ::testing::TestWithParam<FitRow> {};

TEST_P(FitInto, MovesTheWindowJustEnoughToFit)
{
    const FitRow &row = GetParam();
    const Rect fitted = layout::fitInto(row.frame, row.area);
    EXPECT_EQ(fitted.left, row.left);
    EXPECT_EQ(fitted.top, row.top);
    EXPECT_EQ(fitted.width, row.frame.width);
    EXPECT_EQ(fitted.height, row.frame.height);
}

INSTANTIATE_TEST_SUITE_P(Rows, FitInto, ::testing::ValuesIn(fitRows),
                         [](const auto &info) { return std::string(info.param.name); });

// The scale, as a DPI, the 870 x 640 window is drawn at: the screen's while it
// fits, else the largest at which it fits along both axes.
struct DpiRow {
    const char *name;
    int wanted, areaWidth, areaHeight, dpi;
};

void PrintTo(const DpiRow &row, std::ostream *out)
{
    *out << row.name;
}

const DpiRow dpiRows[] = {
    {"FitsAt150Percent", 144, 1600, 1200, 144},
    {"ExactlyAsLargeAt100Percent", 96, 870, 640, 96},
    {"TooWideAt150Percent", 144, 1280, 1024, 141},
    {"TooTallAt200Percent", 192, 1280, 800, 120},
    {"TooSmallForAny", 96, 5, 5, 1},
};

class FitDpi : public ::testing::TestWithParam<DpiRow> {};

TEST_P(FitDpi, DrawsAtTheLargestScaleThatFits)
{
    const DpiRow &row = GetParam();
    EXPECT_EQ(layout::fitDpi(row.wanted, 870, 640, {0, 0, row.areaWidth, row.areaHeight}), row.dpi);
}

INSTANTIATE_TEST_SUITE_P(Rows, FitDpi, ::testing::ValuesIn(dpiRows),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
