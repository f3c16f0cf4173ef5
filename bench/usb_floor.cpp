// The floor that a USB MIDI link through ALSA rawmidi sets for an update: the same number of
// round trips as a whole update (3,889 blocks), each a 4,700-byte SysEx answered by a 7-byte
// one, with nothing else in the way. Two roles, one on each end of the link:
//   usb_floor answer DEVICE      the device's end: answers every SysEx until the link is silent
//   usb_floor ping DEVICE [N]    the computer's end: sends, waits for each answer, prints the time
// DEVICE is an ALSA rawmidi name such as hw:1,0; N is 3,889 unless given. tests/vm runs both
// in the test guest.
#include <alsa/asoundlib.h>
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kUpdateRoundTrips = 3889;
constexpr std::size_t kRequestBytes = 4700;
// A silent link for this long means the other end is gone.
constexpr int kSilenceMs = 10'000;
// How long the computer's end waits for an answer before it sends again, and how often.
constexpr int kAnswerMs = 1000;
constexpr int kMaxResends = 31;
// Larger than one request, so a reader that falls behind loses nothing.
constexpr std::size_t kInputBufferBytes = 64 * 1024;

struct Link {
    snd_rawmidi_t* in = nullptr;
    snd_rawmidi_t* out = nullptr;
    ~Link() {
        if (in) snd_rawmidi_close(in);
        if (out) snd_rawmidi_close(out);
    }
};

bool open(Link& link, const char* device) {
    if (int err = snd_rawmidi_open(&link.in, &link.out, device, SND_RAWMIDI_NONBLOCK); err < 0) {
        std::fprintf(stderr, "usb_floor: cannot open %s: %s\n", device, snd_strerror(err));
        return false;
    }
    snd_rawmidi_params_t* params = nullptr;
    snd_rawmidi_params_alloca(&params);
    snd_rawmidi_params_current(link.in, params);
    snd_rawmidi_params_set_buffer_size(link.in, params, kInputBufferBytes);
    snd_rawmidi_params(link.in, params);
    return true;
}

// Reads until `sysexEnds` more F7 bytes have arrived; false after `silenceMs` of silence.
bool awaitSysexEnds(Link& link, int sysexEnds, std::vector<std::uint8_t>& buffer,
                    int silenceMs = kSilenceMs) {
    std::vector<pollfd> fds(static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(link.in)));
    snd_rawmidi_poll_descriptors(link.in, fds.data(), static_cast<unsigned>(fds.size()));
    while (sysexEnds > 0) {
        const ssize_t n = snd_rawmidi_read(link.in, buffer.data(), buffer.size());
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i)
                sysexEnds -= buffer[static_cast<std::size_t>(i)] == 0xF7;
            continue;
        }
        if (n != -EAGAIN && n != -EINTR) return false;
        if (poll(fds.data(), fds.size(), silenceMs) == 0) return false;
    }
    return true;
}

// Writes the whole message; false when the link takes nothing for kSilenceMs.
bool writeAll(Link& link, const std::vector<std::uint8_t>& message) {
    std::vector<pollfd> fds(static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(link.out)));
    snd_rawmidi_poll_descriptors(link.out, fds.data(), static_cast<unsigned>(fds.size()));
    std::size_t sent = 0;
    while (sent < message.size()) {
        const ssize_t n = snd_rawmidi_write(link.out, message.data() + sent, message.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n != -EAGAIN && n != -EINTR) return false;
        if (poll(fds.data(), fds.size(), kSilenceMs) == 0) return false;
    }
    return true;
}

int answer(Link& link) {
    const std::vector<std::uint8_t> reply{0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};
    std::vector<std::uint8_t> buffer(kInputBufferBytes);
    std::printf("ready: answering\n");
    std::fflush(stdout);
    int answered = 0;
    while (awaitSysexEnds(link, 1, buffer)) {
        if (!writeAll(link, reply)) {
            std::fprintf(stderr, "usb_floor: answer %d was not taken\n", answered + 1);
            return 1;
        }
        ++answered;
    }
    snd_rawmidi_status_t* status = nullptr;
    snd_rawmidi_status_alloca(&status);
    const bool known = snd_rawmidi_status(link.in, status) >= 0;
    std::printf("answered: %d, input overruns: %zu\n", answered,
                known ? snd_rawmidi_status_get_xruns(status) : std::size_t{0});
    return 0;
}

int ping(Link& link, int roundTrips) {
    std::vector<std::uint8_t> request(kRequestBytes, 0x55);
    request.front() = 0xF0;
    request.back() = 0xF7;
    std::vector<std::uint8_t> buffer(kInputBufferBytes);
    const auto start = std::chrono::steady_clock::now();
    int resends = 0;
    for (int i = 0; i < roundTrips; ++i) {
        // The link can lose a request's end; then it goes again after the second an update
        // waits for a block's answer, so that the floor pays what an update pays.
        for (int attempt = 0;; ++attempt) {
            if (!writeAll(link, request)) {
                std::fprintf(stderr, "usb_floor: request %d was not taken\n", i + 1);
                return 1;
            }
            if (awaitSysexEnds(link, 1, buffer, kAnswerMs)) break;
            if (attempt == kMaxResends) {
                std::fprintf(stderr, "usb_floor: no answer to request %d\n", i + 1);
                return 1;
            }
            ++resends;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("round trips: %d of %zu + 7 bytes, %d sent again\n", roundTrips, kRequestBytes,
                resends);
    std::printf("floor seconds: %.2f\nround trip ms: %.3f\n", took.count(),
                took.count() * 1000 / roundTrips);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string role = argc == 3 || argc == 4 ? argv[1] : "";
    const int roundTrips = argc == 4 ? std::atoi(argv[3]) : kUpdateRoundTrips;
    if (!(role == "answer" && argc == 3) && !(role == "ping" && roundTrips >= 1)) {
        std::fprintf(stderr, "usage: usb_floor answer DEVICE | ping DEVICE [ROUND_TRIPS]\n");
        return 2;
    }
    Link link;
    if (!open(link, argv[2])) return 1;
    return role == "answer" ? answer(link) : ping(link, roundTrips);
}
