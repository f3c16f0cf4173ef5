#include "midi/backends/rawmidi_backend.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <memory>
#include <string>

#include "midi/backends/rawmidi_names.h"
#include "midi/backends/stream_connections.h"

namespace pxr9 {

namespace {

// alsa-lib reports some failures on stderr; the program has no log and keeps quiet.
void quietAlsaError(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsa() {
    static const bool silenced = [] {
        snd_lib_error_set_handler(quietAlsaError);
        return true;
    }();
    (void)silenced;
}

struct ControlCloser {
    void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};
struct InfoFreer {
    void operator()(snd_rawmidi_info_t* info) const { snd_rawmidi_info_free(info); }
};

std::vector<PortEntry> listPorts(snd_rawmidi_stream_t stream) {
    silenceAlsa();
    std::vector<PortEntry> ports;
    snd_rawmidi_info_t* rawInfo = nullptr;
    if (snd_rawmidi_info_malloc(&rawInfo) < 0) return ports;
    const std::unique_ptr<snd_rawmidi_info_t, InfoFreer> info(rawInfo);

    int card = -1;
    while (snd_card_next(&card) >= 0 && card >= 0) {
        const std::string cardName = "hw:" + std::to_string(card);
        snd_ctl_t* rawCtl = nullptr;
        if (snd_ctl_open(&rawCtl, cardName.c_str(), 0) < 0) continue;
        const std::unique_ptr<snd_ctl_t, ControlCloser> ctl(rawCtl);

        int device = -1;
        while (snd_ctl_rawmidi_next_device(ctl.get(), &device) >= 0 && device >= 0) {
            snd_rawmidi_info_set_device(info.get(), static_cast<unsigned>(device));
            snd_rawmidi_info_set_stream(info.get(), stream);
            snd_rawmidi_info_set_subdevice(info.get(), 0);
            if (snd_ctl_rawmidi_info(ctl.get(), info.get()) < 0) continue;  // not this way
            const unsigned count = snd_rawmidi_info_get_subdevices_count(info.get());
            for (unsigned sub = 0; sub < count; ++sub) {
                PortEntry entry;
                entry.address = cardName + "," + std::to_string(device) + "," + std::to_string(sub);
                snd_rawmidi_info_set_subdevice(info.get(), sub);
                // A substream whose details cannot be read still takes its number.
                if (snd_ctl_rawmidi_info(ctl.get(), info.get()) >= 0) {
                    entry.name = rawMidiPortName(snd_rawmidi_info_get_subdevice_name(info.get()),
                                                 snd_rawmidi_info_get_name(info.get()));
                }
                ports.push_back(std::move(entry));
            }
        }
    }
    return ports;
}

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

}  // namespace

std::vector<PortEntry> RawMidiOutputBackend::ports() {
    return listPorts(SND_RAWMIDI_STREAM_OUTPUT);
}

std::unique_ptr<OutputConnection> RawMidiOutputBackend::open(const PortEntry& port) {
    silenceAlsa();
    snd_rawmidi_t* handle = nullptr;
    // Opened non-blocking, or the open would wait for a port that someone else holds;
    // writes then block, so that a send returns only when the bytes have been taken.
    if (snd_rawmidi_open(nullptr, &handle, port.address.c_str(), SND_RAWMIDI_NONBLOCK) < 0) {
        return nullptr;
    }
    if (snd_rawmidi_nonblock(handle, 0) < 0) {
        snd_rawmidi_close(handle);
        return nullptr;
    }
    return std::make_unique<StreamOutput>(std::make_unique<RawMidiSink>(handle));
}

std::vector<PortEntry> RawMidiInputBackend::ports() {
    return listPorts(SND_RAWMIDI_STREAM_INPUT);
}

std::unique_ptr<InputConnection> RawMidiInputBackend::open(const PortEntry& port,
                                                           SysexRecorder& recorder) {
    silenceAlsa();
    snd_rawmidi_t* handle = nullptr;
    if (snd_rawmidi_open(&handle, nullptr, port.address.c_str(), SND_RAWMIDI_NONBLOCK) < 0) {
        return nullptr;
    }
    return std::make_unique<StreamInput>(std::make_unique<RawMidiSource>(handle), recorder);
}

}  // namespace pxr9
