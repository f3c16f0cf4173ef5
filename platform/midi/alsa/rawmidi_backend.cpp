#include "platform/midi/alsa/rawmidi_backend.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/midi/alsa/rawmidi_holders.h"
#include "platform/midi/alsa/rawmidi_names.h"
#include "platform/midi/alsa/rawmidi_stream.h"
#include "platform/midi/alsa/seq_stream.h"
#include "platform/midi/stream/stream_connections.h"

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

// After a rawmidi open failed with `error`: the sequencer's way to a port that the bridge
// holds, with a note either way.
template <class Open>
auto openAround(const PortEntry& port, bool output, int error, PortNotes* notes, Open open)
    -> decltype(open(std::declval<const RawMidiPlace&>())) {
    const std::optional<RawMidiPlace> place = parseRawMidiPlace(port.address);
    if (error != -EBUSY || !place) {
        if (notes)
            notes->note(output, openFailureCause(port.name, output, port.address, error), true);
        return nullptr;
    }
    const PortHolders holders = findPortHolders(port.name, output, *place);
    const std::string cause = busyCause(holders);
    // The bridge holds the port only for sequencer connections; a program that opened the
    // rawmidi port itself leaves no way in.
    if (!holders.listeners.empty()) {
        if (auto opened = open(*place)) {
            if (notes) {
                notes->note(output,
                            cause + " Going on through the sequencer" +
                                (output ? ", in paced pieces." : "."),
                            false);
            }
            return opened;
        }
    }
    if (notes) notes->note(output, cause, true);
    return nullptr;
}

}  // namespace

std::vector<PortEntry> RawMidiOutputBackend::ports() {
    return listPorts(SND_RAWMIDI_STREAM_OUTPUT);
}

std::unique_ptr<OutputConnection> RawMidiOutputBackend::open(const PortEntry& port) {
    int error = 0;
    if (std::unique_ptr<ByteSink> sink = openRawMidiSink(port.address, error)) {
        if (notes_) notes_->clear(true);
        return std::make_unique<StreamOutput>(std::move(sink));
    }
    std::unique_ptr<ByteSink> around = openAround(port, true, error, notes_, [](auto& place) {
        int seqError = 0;
        return openSeqSink(place, seqError);
    });
    if (!around) return nullptr;
    return std::make_unique<StreamOutput>(std::move(around));
}

std::vector<PortEntry> RawMidiInputBackend::ports() {
    return listPorts(SND_RAWMIDI_STREAM_INPUT);
}

std::unique_ptr<InputConnection> RawMidiInputBackend::open(const PortEntry& port,
                                                           SysexReceiver& receiver) {
    int error = 0;
    if (std::unique_ptr<ByteSource> source =
            openRawMidiSource(port.address, kRawMidiInputBuffer, error)) {
        if (notes_) notes_->clear(false);
        return std::make_unique<StreamInput>(std::move(source), receiver);
    }
    std::unique_ptr<ByteSource> around = openAround(port, false, error, notes_, [](auto& place) {
        int seqError = 0;
        return openSeqSource(place, seqError);
    });
    if (!around) return nullptr;
    return std::make_unique<StreamInput>(std::move(around), receiver);
}

}  // namespace pxr9
