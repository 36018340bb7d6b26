// The real program (program_fixture.h) told to end by two signals at once,
// round after round, in whatever it is doing: the port is free after every
// round, for a program without root rights too.
#include "program_fixture.h"

#include <iostream>
#include <random>
#include <thread>

#include <termios.h>

namespace {

const char *signalName(int signal)
{
    switch (signal) {
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    case SIGINT:
        return "SIGINT";
    default:
        return "SIGQUIT";
    }
}

const char *doingName(Doing doing)
{
    return doing == Doing::Nothing ? "idle" : doing == Doing::Sending ? "sending" : "showing a box";
}

unsigned long setting(const char *name, unsigned long otherwise)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::stoul(value) : otherwise;
}

class ShutdownTorture : public Program {
  protected:
    // One round: the port opened, the program brought to `doing`, then
    // `first` and, `gap` later, `second`.
    void round(Doing doing, int first, int second, std::chrono::microseconds gap)
    {
        openCom1();
        bringTo(doing);
        ASSERT_EQ(kill(program, first), 0);
        std::this_thread::sleep_for(gap);
        kill(program, second);
        const int status = waitExit(program, 20s);
        const std::string errors = programErrors();
        // SIGQUIT ends the program with its core at any moment; an end signal
        // once the port is closed may end it by its default action.
        const bool asQuit = status == 128 + SIGQUIT && (first == SIGQUIT || second == SIGQUIT);
        const bool late = status == 128 + second && first != SIGQUIT;
        EXPECT_TRUE(status == 0 || asQuit || late) << "status " << status << "\n" << errors;
        if (first == SIGQUIT) {
            EXPECT_EQ(status, 128 + SIGQUIT) << errors;
        }
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(errors.find("runtime error"), std::string::npos) << errors;
        EXPECT_EQ(openWithoutRoot(device.path()), 0) << "exclusive mode outlived the program";
        EXPECT_TRUE(portIsFree()) << "the lock outlived the program";
        // What a stalled send left in the line goes, for the next round.
        tcflush(device.slave(), TCOFLUSH);
    }
};

TEST_F(ShutdownTorture, EveryRoundFreesThePort)
{
    const unsigned long seed = setting("COMTERM_TORTURE_SEED", std::random_device{}());
    const unsigned long rounds = setting("COMTERM_TORTURE_ROUNDS", 50);
    std::cout << "seed " << seed << " (COMTERM_TORTURE_SEED=" << seed << " repeats this run)\n";
    RecordProperty("seed", std::to_string(seed));
    std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
    const int signals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(signals) - 1);
    // Mostly idle: a send or a box takes several times as long to set up.
    std::discrete_distribution<int> doingPick{6, 1, 1};
    std::uniform_int_distribution<int> gapPick(0, 10000);

    for (unsigned long n = 1; n <= rounds; ++n) {
        const Doing doing = static_cast<Doing>(doingPick(random));
        const int first = signals[pick(random)], second = signals[pick(random)];
        const std::chrono::microseconds gap(gapPick(random));
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", round " << n << ": "
                                        << doingName(doing) << ", " << signalName(first) << " then "
                                        << signalName(second) << " " << gap.count() << " us later");
        if (n > 1)
            start();
        round(doing, first, second, gap);
        if (HasFailure())
            break;
    }
}

} // namespace
