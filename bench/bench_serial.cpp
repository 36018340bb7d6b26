// Times the serial operations on a pseudo-terminal pair and prints medians.
#include "port.h"
#include "pty_device.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

// A device that reads and discards everything sent to it.
class Sink {
  public:
    explicit Sink(PtyDevice &device)
        : thread_([this, &device] {
              while (!stop_)
                  device.read(64 * 1024, std::chrono::milliseconds(20));
          })
    {
    }
    ~Sink()
    {
        stop_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A device on COM1, and the port open on it while this lives.
struct OpenPort {
    PtyDevice device;
    PortMapping map{"COM1", device.path()};

    explicit OpenPort(benchmark::State &state)
    {
        serial::openPort(0);
        if (!serial::isOpen())
            state.SkipWithError("the port did not open");
    }
    ~OpenPort() { serial::closePort(); }
};

void receive1024(benchmark::State &state)
{
    OpenPort port(state);
    const std::string block(1024, 'r');
    for (auto _ : state) {
        state.PauseTiming();
        port.device.write(block);
        port.device.waitQueued(block.size());
        state.ResumeTiming();
        const auto text = serial::receiveText();
        if (text.bytes.size() != block.size()) {
            state.SkipWithError("the receive did not take the 1,024 bytes");
            break;
        }
    }
}

// A send through the operation: in pieces, with a progress callback as the
// window passes one.
void send(benchmark::State &state)
{
    OpenPort port(state);
    Sink sink(port.device);
    const std::string text(static_cast<std::size_t>(state.range(0)), 's');
    for (auto _ : state) {
        const auto result = serial::sendText(text, [](std::size_t, std::size_t) { return true; });
        if (result.end != serial::SendEnd::Done) {
            state.SkipWithError("the send did not complete");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The same bytes in one write with no timeouts, for comparison.
void sendOneWrite(benchmark::State &state)
{
    OpenPort port(state);
    Sink sink(port.device);
    const std::string text(static_cast<std::size_t>(state.range(0)), 's');
    for (auto _ : state) {
        DWORD written = 0;
        if (!WriteFile(serial::hCOM, text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr)) {
            state.SkipWithError("the write failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void openConfigureClose(benchmark::State &state)
{
    PtyDevice device;
    PortMapping map("COM1", device.path());
    for (auto _ : state) {
        serial::openPort(0);
        if (!serial::isOpen()) {
            state.SkipWithError("the port did not open");
            break;
        }
        serial::closePort();
    }
}

} // namespace

BENCHMARK(receive1024)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(send)
    ->Arg(1024)
    ->Arg(64 * 1024)
    ->Arg(1024 * 1024)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(sendOneWrite)
    ->Arg(64 * 1024)
    ->Arg(1024 * 1024)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(openConfigureClose)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
