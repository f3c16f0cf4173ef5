// The floor that JACK MIDI through RtMidi sets for an update: the same number of round trips
// as a whole update (3,889 blocks), each a 4,700-byte SysEx answered by a 7-byte one, between
// two plain RtMidi clients with nothing else in the way. Needs a running JACK server (the
// one JACK_DEFAULT_SERVER names); bench/jack_update_vs_floor.sh starts one and compares.
#include <benchmark/benchmark.h>
#include <rtmidi/RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int kRoundTrips = 3889;
constexpr std::size_t kRequestBytes = 4700;

// Connects `midi` to the port of that full name; false when the server has no such port.
template <class Midi>
bool openByName(Midi& midi, const std::string& fullName) {
    for (unsigned i = 0; i < midi.getPortCount(); ++i) {
        if (midi.getPortName(i) == fullName) {
            midi.openPort(i, "floor");
            return true;
        }
    }
    return false;
}

// Answers every complete SysEx with a 7-byte one, from the JACK thread that delivered it.
struct Answerer {
    RtMidiIn in{RtMidi::UNIX_JACK, "floor answer in"};
    RtMidiOut out{RtMidi::UNIX_JACK, "floor answer out"};
    std::vector<unsigned char> reply{0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};

    Answerer() {
        in.ignoreTypes(false, true, true);
        in.setCallback(
            [](double, std::vector<unsigned char>* message, void* self) {
                if (!message->empty() && message->back() == 0xF7) {
                    auto* a = static_cast<Answerer*>(self);
                    a->out.sendMessage(&a->reply);
                }
            },
            this);
        in.openVirtualPort("in");
        out.openVirtualPort("out");
    }
};

// Sends one request and waits for the answer, like a worker waiting on its reply event.
struct Pinger {
    RtMidiOut out{RtMidi::UNIX_JACK, "floor ping out"};
    RtMidiIn in{RtMidi::UNIX_JACK, "floor ping in"};
    std::mutex mutex;
    std::condition_variable answered;
    int answers = 0;

    Pinger() {
        in.ignoreTypes(false, true, true);
        in.setCallback(
            [](double, std::vector<unsigned char>*, void* self) {
                auto* p = static_cast<Pinger*>(self);
                std::lock_guard lock(p->mutex);
                ++p->answers;
                p->answered.notify_one();
            },
            this);
    }

    void roundTrip(const std::vector<unsigned char>& request) {
        std::unique_lock lock(mutex);
        const int before = answers;
        lock.unlock();
        out.sendMessage(&request);
        lock.lock();
        answered.wait(lock, [&] { return answers != before; });
    }
};

void BM_JackPingPong(benchmark::State& state) {
    std::vector<unsigned char> request(kRequestBytes, 0x55);
    request.front() = 0xF0;
    request.back() = 0xF7;
    try {
        Answerer answerer;
        Pinger pinger;
        if (!openByName(pinger.out, "floor answer in:in") ||
            !openByName(pinger.in, "floor answer out:out")) {
            state.SkipWithError("the answering client's ports are not on the JACK server");
            return;
        }
        std::chrono::duration<double, std::micro> spent{};
        for (auto _ : state) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kRoundTrips; ++i) pinger.roundTrip(request);
            spent += std::chrono::steady_clock::now() - start;
        }
        state.counters["round_trip_us"] =
            spent.count() / (kRoundTrips * static_cast<double>(state.iterations()));
    } catch (const RtMidiError& e) {
        state.SkipWithError(("no JACK server: " + e.getMessage()).c_str());
    }
}
BENCHMARK(BM_JackPingPong)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
