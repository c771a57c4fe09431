// The simulated progress bar (msctls_progress32): its range, position and step, what each message
// returns, how stepping wraps round the range, and its text picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "simwin/machine.h"
#include "simwin/win32.h"

namespace {

class ProgressTest : public ::testing::Test {
protected:
    simwin::Machine machine;
    simwin::MachineScope scope{machine};
    HWND dialog = nullptr, bar = nullptr;

    void SetUp() override {
        dialog = CreateWindowExA(0, "#32770", "Loading", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 300, 120, NULL, NULL,
                                 NULL, NULL);
        bar = CreateWindowExA(WS_EX_CLIENTEDGE, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 40, 200, 16, dialog,
                              reinterpret_cast<HMENU>(1023), NULL, NULL);
        ASSERT_NE(nullptr, bar);
    }
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageA(bar, msg, wParam, lParam); }
    int Pos() { return static_cast<int>(Send(PBM_GETPOS, 0, 0)); }
    std::vector<std::string> Picture() {
        std::vector<std::string> lines;
        simwin::current().windows.find(bar)->state->picture(lines);
        return lines;
    }
};

TEST_F(ProgressTest, ANewBarRunsFrom0To100InStepsOf10) {
    PBRANGE range;
    range.iLow = range.iHigh = static_cast<int>(0xBDBDBDBD);
    EXPECT_EQ(100, Send(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range)));
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(100, range.iHigh);
    EXPECT_EQ(0, Send(PBM_GETRANGE, TRUE, 0));  // the low end, without a structure
    EXPECT_EQ(0, Pos());
    EXPECT_EQ(10, Send(PBM_GETSTEP, 0, 0));
}

TEST_F(ProgressTest, SetRangeReturnsThePreviousRangeAndKeepsThePositionInside) {
    Send(PBM_SETPOS, 80, 0);
    EXPECT_EQ(MAKELONG(0, 100), Send(PBM_SETRANGE, 0, MAKELPARAM(0, 99)));
    EXPECT_EQ(MAKELONG(0, 99), Send(PBM_SETRANGE, 0, MAKELPARAM(0, 50)));
    EXPECT_EQ(50, Pos());  // cut to the new maximum
    EXPECT_EQ(MAKELONG(0, 50), Send(PBM_SETRANGE, 0, MAKELPARAM(0, 50)));  // the same range again

    // A 32-bit range may be negative; PBM_SETRANGE's answer keeps 16 bits of each end.
    EXPECT_EQ(MAKELONG(0, 50), Send(PBM_SETRANGE32, static_cast<WPARAM>(-70000), 70000));
    EXPECT_EQ(MAKELONG(static_cast<WORD>(-70000), static_cast<WORD>(70000)), Send(PBM_SETRANGE32, 10, 20));
    EXPECT_EQ(20, Send(PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(10, Send(PBM_GETRANGE, TRUE, 0));
    EXPECT_EQ(20, Pos());  // 50 is above the new range
}

TEST_F(ProgressTest, SetPosAndDeltaPosReturnThePreviousPositionAndClamp) {
    Send(PBM_SETRANGE, 0, MAKELPARAM(0, 99));
    struct Case {
        UINT msg;
        int value, previous, after;
    } cases[] = {
        {PBM_SETPOS, 1, 0, 1},     {PBM_SETPOS, 95, 1, 95},  {PBM_SETPOS, 150, 95, 99}, {PBM_SETPOS, -3, 99, 0},
        {PBM_DELTAPOS, 5, 0, 5},   {PBM_DELTAPOS, -2, 5, 3}, {PBM_DELTAPOS, 500, 3, 99}, {PBM_DELTAPOS, 0, 99, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.msg << " " << c.value);
        EXPECT_EQ(c.previous, Send(c.msg, static_cast<WPARAM>(c.value), 0));
        EXPECT_EQ(c.after, Pos());
    }
}

TEST_F(ProgressTest, StepItAdvancesByTheStepAndWrapsRoundTheRange) {
    struct Case {
        int low, high, position, step, after;
    } cases[] = {
        {0, 99, 1, 2, 3},     {0, 99, 98, 2, 1},    // past the maximum: from the minimum with what is left
        {0, 99, 97, 2, 99},   {0, 100, 95, 10, 5},  {10, 20, 18, 5, 13}, {0, 99, 3, -5, 97},  // below the minimum
        {5, 5, 5, 3, 5},      // an empty range does not move
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high << " at " << c.position << " step " << c.step);
        Send(PBM_SETRANGE32, static_cast<WPARAM>(c.low), c.high);
        Send(PBM_SETPOS, static_cast<WPARAM>(c.position), 0);
        Send(PBM_SETSTEP, static_cast<WPARAM>(c.step), 0);
        EXPECT_EQ(c.position, Send(PBM_STEPIT, 0, 0));
        EXPECT_EQ(c.after, Pos());
    }
}

TEST_F(ProgressTest, SetStepReturnsThePreviousStep) {
    EXPECT_EQ(10, Send(PBM_SETSTEP, 2, 0));
    EXPECT_EQ(2, Send(PBM_SETSTEP, 3, 0));
    EXPECT_EQ(3, Send(PBM_GETSTEP, 0, 0));
}

TEST_F(ProgressTest, TheLoadingDialogsSteps) {
    // The sequence the loading dialog sends its bar: range 0..99, position 1, step 2, then two steps a tick.
    Send(PBM_SETRANGE, 0, MAKELPARAM(0, 99));
    Send(PBM_SETPOS, 1, 0);
    Send(PBM_SETSTEP, 2, 0);
    for (int tick = 0; tick < 5; ++tick) {
        Send(PBM_STEPIT, 0, 0);
        Send(PBM_STEPIT, 0, 0);
    }
    EXPECT_EQ(21, Pos());
    EXPECT_EQ((std::vector<std::string>{"position 21 of 0..99"}), Picture());
}

TEST_F(ProgressTest, TheBarHasAStaticEdgeAndKeepsItsFont) {
    LONG ex = GetWindowLongA(bar, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_STATICEDGE);
    EXPECT_FALSE(ex & WS_EX_CLIENTEDGE);
    RECT client;
    GetClientRect(bar, &client);
    EXPECT_EQ(198, client.right);  // one pixel of edge on each side
    EXPECT_EQ(14, client.bottom);

    HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(0, Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(font), Send(WM_GETFONT, 0, 0));
}

TEST_F(ProgressTest, TheDialogPictureShowsThePosition) {
    Send(PBM_SETPOS, 42, 0);
    std::vector<std::string> lines = simwin::current().windows.picture(dialog);
    auto at = std::find(lines.begin(), lines.end(), "    [1023] msctls_progress32");
    ASSERT_NE(lines.end(), at);
    ASSERT_NE(lines.end(), at + 1);
    EXPECT_EQ("        position 42 of 0..100", at[1]);
}

}  // namespace
