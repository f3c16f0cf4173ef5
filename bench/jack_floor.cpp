// The floor that JACK MIDI sets for an update: the same number of round trips as a whole
// update (3,889 blocks), each a 4,700-byte SysEx answered by a 7-byte one, between two plain
// libjack clients with nothing else in the way. The answering client replies from its process
// callback in the cycle the request arrives; the asking one hands each request to its process
// callback and sleeps until the answer is there, like a worker waiting on its reply event.
// Needs a running JACK server (the one JACK_DEFAULT_SERVER names);
// bench/jack_update_vs_floor.sh starts one and compares.
#include <benchmark/benchmark.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kRoundTrips = 3889;
constexpr std::size_t kRequestBytes = 4700;

struct Client {
    jack_client_t* client = nullptr;
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;

    bool open(const char* name, JackProcessCallback process, void* arg) {
        client = jack_client_open(name, JackNoStartServer, nullptr);
        if (client == nullptr) return false;
        in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        return in != nullptr && out != nullptr &&
               jack_set_process_callback(client, process, arg) == 0 && jack_activate(client) == 0;
    }
    ~Client() {
        if (client == nullptr) return;
        jack_deactivate(client);
        jack_client_close(client);
    }
};

// Answers every complete SysEx with a 7-byte one in the same cycle.
struct Answerer {
    Client jack;
    static int process(jack_nframes_t frames, void* self) {
        auto& a = static_cast<Answerer*>(self)->jack;
        void* in = jack_port_get_buffer(a.in, frames);
        void* out = jack_port_get_buffer(a.out, frames);
        jack_midi_clear_buffer(out);
        static const jack_midi_data_t reply[] = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};
        const std::uint32_t count = jack_midi_get_event_count(in);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, in, i) == 0 && event.size > 0 &&
                event.buffer[event.size - 1] == 0xF7) {
                jack_midi_event_write(out, event.time, reply, sizeof reply);
            }
        }
        return 0;
    }
};

// Writes the request when asked to and wakes the asking thread when an answer arrives.
struct Pinger {
    Client jack;
    std::vector<jack_midi_data_t> request;
    std::atomic<bool> sendNow{false};
    sem_t answered;

    Pinger() : request(kRequestBytes, 0x55) {
        request.front() = 0xF0;
        request.back() = 0xF7;
        sem_init(&answered, 0, 0);
    }
    ~Pinger() { sem_destroy(&answered); }

    static int process(jack_nframes_t frames, void* self) {
        auto& p = *static_cast<Pinger*>(self);
        void* out = jack_port_get_buffer(p.jack.out, frames);
        jack_midi_clear_buffer(out);
        if (p.sendNow.exchange(false, std::memory_order_acquire)) {
            jack_midi_event_write(out, 0, p.request.data(), p.request.size());
        }
        void* in = jack_port_get_buffer(p.jack.in, frames);
        const std::uint32_t count = jack_midi_get_event_count(in);
        for (std::uint32_t i = 0; i < count; ++i) sem_post(&p.answered);
        return 0;
    }

    // False when no answer came within `limit`.
    bool roundTrip(std::chrono::milliseconds limit) {
        sendNow.store(true, std::memory_order_release);
        timespec at{};
        clock_gettime(CLOCK_MONOTONIC, &at);
        const long long ns = at.tv_nsec + limit.count() * 1000000LL;
        at.tv_sec += static_cast<time_t>(ns / 1000000000LL);
        at.tv_nsec = static_cast<long>(ns % 1000000000LL);
        while (sem_clockwait(&answered, CLOCK_MONOTONIC, &at) != 0) {
            if (errno != EINTR) return false;
        }
        return true;
    }
};

void BM_JackPingPong(benchmark::State& state) {
    Answerer answerer;
    Pinger pinger;
    if (!answerer.jack.open("floor answer", Answerer::process, &answerer) ||
        !pinger.jack.open("floor ping", Pinger::process, &pinger)) {
        state.SkipWithError("no JACK server to open the clients on");
        return;
    }
    const std::string ping = jack_get_client_name(pinger.jack.client);
    const std::string answer = jack_get_client_name(answerer.jack.client);
    if (jack_connect(pinger.jack.client, (ping + ":out").c_str(), (answer + ":in").c_str()) != 0 ||
        jack_connect(pinger.jack.client, (answer + ":out").c_str(), (ping + ":in").c_str()) != 0) {
        state.SkipWithError("the clients could not be connected");
        return;
    }
    // Untimed: the first round trip that comes back shows both connections carry data.
    bool through = false;
    for (int attempt = 0; attempt < 100 && !through; ++attempt) {
        through = pinger.roundTrip(std::chrono::milliseconds(100));
    }
    if (!through) {
        state.SkipWithError("no answer over the connections");
        return;
    }
    while (sem_trywait(&pinger.answered) == 0) {
    }

    std::chrono::duration<double, std::micro> spent{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRoundTrips; ++i) {
            if (!pinger.roundTrip(std::chrono::seconds(10))) {
                state.SkipWithError("a round trip got no answer");
                return;
            }
        }
        spent += std::chrono::steady_clock::now() - start;
    }
    state.counters["round_trip_us"] =
        spent.count() / (kRoundTrips * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_JackPingPong)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
