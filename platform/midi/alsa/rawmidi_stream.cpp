#include "platform/midi/alsa/rawmidi_stream.h"

#include <alsa/asoundlib.h>
#include <poll.h>

#include <cerrno>
#include <vector>

namespace pxr9 {

namespace {

// The kernel starts taking a port's input at its first read or poll; until then a USB MIDI
// driver drops what the device sends. Polling once as the port opens keeps an answer that
// arrives before the reader thread first polls (a slow machine) instead of losing it.
void startReceiving(snd_rawmidi_t* handle) {
    const int count = snd_rawmidi_poll_descriptors_count(handle);
    if (count <= 0) return;
    std::vector<pollfd> fds(static_cast<std::size_t>(count));
    const int filled =
        snd_rawmidi_poll_descriptors(handle, fds.data(), static_cast<unsigned>(fds.size()));
    if (filled > 0) (void)::poll(fds.data(), static_cast<nfds_t>(filled), 0);
}

void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Writes never block. The wake-up threshold is the whole buffer, so the descriptor turns
// ready exactly when every byte has been taken by the driver: that is when a send is done.
// (snd_rawmidi_drain would wait the same and then some more: up to 50 ms for a driver
// without a drain of its own, on every message, and unbounded by anything of ours.)
std::vector<pollfd> descriptors(snd_rawmidi_t* handle) {
    const int count = snd_rawmidi_poll_descriptors_count(handle);
    std::vector<pollfd> fds(count > 0 ? static_cast<std::size_t>(count) : 0);
    const int filled =
        snd_rawmidi_poll_descriptors(handle, fds.data(), static_cast<unsigned>(fds.size()));
    fds.resize(filled > 0 ? static_cast<std::size_t>(filled) : 0);
    return fds;
}

class RawMidiSink : public ByteSink {
  public:
    RawMidiSink(snd_rawmidi_t* handle, std::size_t bufferSize)
        : handle_(handle), bufferSize_(bufferSize) {}
    ~RawMidiSink() override { snd_rawmidi_close(handle_); }
    std::vector<pollfd> pollDescriptors() override { return descriptors(handle_); }
    long write(const std::uint8_t* data, std::size_t size) override {
        const ssize_t n = snd_rawmidi_write(handle_, data, size);
        return n == -EAGAIN ? 0 : static_cast<long>(n);
    }
    int drained() override {
        snd_rawmidi_status_t* status = nullptr;
        if (snd_rawmidi_status_malloc(&status) < 0) return -ENOMEM;
        int result = snd_rawmidi_status(handle_, status);
        if (result >= 0) result = snd_rawmidi_status_get_avail(status) >= bufferSize_ ? 1 : 0;
        snd_rawmidi_status_free(status);
        return result;
    }
    // A guard only: the descriptor wakes the sender when the buffer has emptied.
    std::chrono::milliseconds retryAfter() const override { return std::chrono::milliseconds(100); }
    // What the driver has not yet taken from the kernel's buffer; the port stays open and
    // takes the next write as usual.
    void drop() override { (void)snd_rawmidi_drop(handle_); }

  private:
    snd_rawmidi_t* handle_;
    const std::size_t bufferSize_;
};

class RawMidiSource : public ByteSource {
  public:
    explicit RawMidiSource(snd_rawmidi_t* handle) : handle_(handle) {}
    ~RawMidiSource() override { snd_rawmidi_close(handle_); }
    std::vector<pollfd> pollDescriptors() override { return descriptors(handle_); }
    long readSome(std::uint8_t* data, std::size_t size) override {
        const ssize_t n = snd_rawmidi_read(handle_, data, size);
        if (n == -EAGAIN || n == -EINTR) return 0;
        if (n == 0) return -EPIPE;
        return static_cast<long>(n);
    }

  private:
    snd_rawmidi_t* handle_;
};

// Sets the buffer size and the fill level at which poll() reports the port ready; 0 keeps
// the level as it is. Returns the buffer size in effect, or a negative errno.
long setBuffer(snd_rawmidi_t* handle, std::size_t size, std::size_t wakeAt) {
    snd_rawmidi_params_t* params = nullptr;
    if (snd_rawmidi_params_malloc(&params) < 0) return -ENOMEM;
    long result = snd_rawmidi_params_current(handle, params);
    if (result >= 0) result = snd_rawmidi_params_set_buffer_size(handle, params, size);
    if (result >= 0 && wakeAt > 0) {
        // alsa-lib asserts (and aborts the process) on a level of the whole buffer; one byte
        // less is as good a sign that the message has gone.
        result =
            snd_rawmidi_params_set_avail_min(handle, params, wakeAt < size ? wakeAt : size - 1);
    }
    if (result >= 0) result = snd_rawmidi_params(handle, params);
    if (result >= 0) result = snd_rawmidi_params_current(handle, params);
    if (result >= 0) result = static_cast<long>(snd_rawmidi_params_get_buffer_size(params));
    snd_rawmidi_params_free(params);
    return result;
}

}  // namespace

void silenceAlsaErrors() {
    static const bool silenced = [] {
        snd_lib_error_set_handler(quietAlsaError);
        return true;
    }();
    (void)silenced;
}

std::unique_ptr<ByteSource> openRawMidiSource(const std::string& address, std::size_t bufferSize,
                                              int& error) {
    silenceAlsaErrors();
    snd_rawmidi_t* handle = nullptr;
    error = snd_rawmidi_open(&handle, nullptr, address.c_str(), SND_RAWMIDI_NONBLOCK);
    if (error < 0) return nullptr;
    // A smaller buffer still works for a reader that keeps up; it is no reason to fail.
    (void)setBuffer(handle, bufferSize, 0);
    startReceiving(handle);
    return std::make_unique<RawMidiSource>(handle);
}

std::unique_ptr<ByteSink> openRawMidiSink(const std::string& address, int& error) {
    silenceAlsaErrors();
    snd_rawmidi_t* handle = nullptr;
    // Non-blocking, or the open would wait for a port that someone else holds.
    error = snd_rawmidi_open(nullptr, &handle, address.c_str(), SND_RAWMIDI_NONBLOCK);
    if (error < 0) return nullptr;
    // Room for a whole message, so that one write takes it; the port is ready again once
    // the buffer is empty.
    long size = setBuffer(handle, kRawMidiOutputBuffer, kRawMidiOutputBuffer);
    if (size < 0) {
        // The driver keeps its own buffer size; ready still means empty.
        snd_rawmidi_params_t* params = nullptr;
        size = -EINVAL;
        if (snd_rawmidi_params_malloc(&params) >= 0) {
            if (snd_rawmidi_params_current(handle, params) >= 0) {
                const std::size_t own = snd_rawmidi_params_get_buffer_size(params);
                size = setBuffer(handle, own, own);
            }
            snd_rawmidi_params_free(params);
        }
    }
    if (size <= 0) {
        error = size < 0 ? static_cast<int>(size) : -EINVAL;
        snd_rawmidi_close(handle);
        return nullptr;
    }
    error = 0;
    return std::make_unique<RawMidiSink>(handle, static_cast<std::size_t>(size));
}

}  // namespace pxr9
