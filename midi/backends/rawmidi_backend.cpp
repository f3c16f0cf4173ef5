#include "midi/backends/rawmidi_backend.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <memory>
#include <string>

#include "midi/backends/rawmidi_names.h"
#include "midi/backends/rawmidi_stream.h"
#include "midi/backends/stream_connections.h"

namespace pxr9 {

namespace {

struct ControlCloser {
    void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};
struct InfoFreer {
    void operator()(snd_rawmidi_info_t* info) const { snd_rawmidi_info_free(info); }
};

std::vector<PortEntry> listPorts(snd_rawmidi_stream_t stream) {
    silenceAlsaErrors();
    std::vector<PortEntry> ports;
    std::vector<RawMidiPortInfo> described;
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
                RawMidiPortInfo about;
                about.card = card;
                snd_rawmidi_info_set_subdevice(info.get(), sub);
                // A substream whose details cannot be read still takes its number.
                if (snd_ctl_rawmidi_info(ctl.get(), info.get()) >= 0) {
                    about.deviceName = snd_rawmidi_info_get_name(info.get());
                    about.subdeviceName = snd_rawmidi_info_get_subdevice_name(info.get());
                }
                ports.push_back(std::move(entry));
                described.push_back(std::move(about));
            }
        }
    }
    std::vector<std::string> names = rawMidiPortNames(described);
    for (std::size_t i = 0; i < ports.size(); ++i) ports[i].name = std::move(names[i]);
    return ports;
}

}  // namespace

std::vector<PortEntry> RawMidiOutputBackend::ports() {
    return listPorts(SND_RAWMIDI_STREAM_OUTPUT);
}

std::unique_ptr<OutputConnection> RawMidiOutputBackend::open(const PortEntry& port) {
    int error = 0;
    std::unique_ptr<ByteSink> sink = openRawMidiSink(port.address, error);
    if (!sink) return nullptr;
    return std::make_unique<StreamOutput>(std::move(sink));
}

std::vector<PortEntry> RawMidiInputBackend::ports() {
    return listPorts(SND_RAWMIDI_STREAM_INPUT);
}

std::unique_ptr<InputConnection> RawMidiInputBackend::open(const PortEntry& port,
                                                           SysexRecorder& recorder) {
    int error = 0;
    std::unique_ptr<ByteSource> source =
        openRawMidiSource(port.address, kRawMidiInputBuffer, error);
    if (!source) return nullptr;
    return std::make_unique<StreamInput>(std::move(source), recorder);
}

}  // namespace pxr9
