#include "midi/backends/rawmidi_stream.h"

#include <alsa/asoundlib.h>

#include <cerrno>

namespace pxr9 {

namespace {

void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

class RawMidiSink : public ByteSink {
  public:
    explicit RawMidiSink(snd_rawmidi_t* handle) : handle_(handle) {}
    ~RawMidiSink() override { snd_rawmidi_close(handle_); }
    long write(const std::uint8_t* data, std::size_t size) override {
        return static_cast<long>(snd_rawmidi_write(handle_, data, size));
    }
    int drain() override { return snd_rawmidi_drain(handle_); }

  private:
    snd_rawmidi_t* handle_;
};

class RawMidiSource : public ByteSource {
  public:
    explicit RawMidiSource(snd_rawmidi_t* handle) : handle_(handle) {}
    ~RawMidiSource() override { snd_rawmidi_close(handle_); }
    std::vector<pollfd> pollDescriptors() override {
        const int count = snd_rawmidi_poll_descriptors_count(handle_);
        std::vector<pollfd> fds(count > 0 ? static_cast<std::size_t>(count) : 0);
        const int filled =
            snd_rawmidi_poll_descriptors(handle_, fds.data(), static_cast<unsigned>(fds.size()));
        fds.resize(filled > 0 ? static_cast<std::size_t>(filled) : 0);
        return fds;
    }
    long readSome(std::uint8_t* data, std::size_t size) override {
        const ssize_t n = snd_rawmidi_read(handle_, data, size);
        if (n == -EAGAIN || n == -EINTR) return 0;
        if (n == 0) return -EPIPE;
        return static_cast<long>(n);
    }

  private:
    snd_rawmidi_t* handle_;
};

int setBufferSize(snd_rawmidi_t* handle, std::size_t size) {
    snd_rawmidi_params_t* params = nullptr;
    if (snd_rawmidi_params_malloc(&params) < 0) return -ENOMEM;
    int result = snd_rawmidi_params_current(handle, params);
    if (result >= 0) result = snd_rawmidi_params_set_buffer_size(handle, params, size);
    if (result >= 0) result = snd_rawmidi_params(handle, params);
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
    (void)setBufferSize(handle, bufferSize);
    return std::make_unique<RawMidiSource>(handle);
}

std::unique_ptr<ByteSink> openRawMidiSink(const std::string& address, int& error) {
    silenceAlsaErrors();
    snd_rawmidi_t* handle = nullptr;
    // Opened non-blocking, or the open would wait for a port that someone else holds;
    // writes then block, so that a send returns only when the bytes have been taken.
    error = snd_rawmidi_open(nullptr, &handle, address.c_str(), SND_RAWMIDI_NONBLOCK);
    if (error < 0) return nullptr;
    error = snd_rawmidi_nonblock(handle, 0);
    if (error < 0) {
        snd_rawmidi_close(handle);
        return nullptr;
    }
    return std::make_unique<RawMidiSink>(handle);
}

}  // namespace pxr9
