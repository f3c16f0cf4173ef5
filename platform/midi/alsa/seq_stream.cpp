#include "platform/midi/alsa/seq_stream.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/midi/alsa/paced_sink.h"
#include "platform/midi/alsa/rawmidi_stream.h"

namespace pxr9 {

namespace {

constexpr const char* kClientName = "PXR-9 Updater";

// The kernel's sequencer bridge numbers the ports of a card's rawmidi device D, substream S,
// as D * 32 + S.
constexpr int kPortsPerRawMidiDevice = 32;

struct SeqCloser {
    void operator()(snd_seq_t* seq) const { snd_seq_close(seq); }
};
using SeqHandle = std::unique_ptr<snd_seq_t, SeqCloser>;

SeqHandle openSeq(int streams, int& error) {
    silenceAlsaErrors();
    snd_seq_t* seq = nullptr;
    error = snd_seq_open(&seq, "default", streams, SND_SEQ_NONBLOCK);
    if (error < 0) return nullptr;
    snd_seq_set_client_name(seq, kClientName);
    return SeqHandle(seq);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string procMidiPath(const RawMidiPlace& place) {
    return "/proc/asound/card" + std::to_string(place.card) + "/midi" +
           std::to_string(place.device);
}

// The device's port on the sequencer: the kernel client of its card.
std::optional<snd_seq_addr_t> devicePort(snd_seq_t* seq, const RawMidiPlace& place) {
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        if (snd_seq_client_info_get_type(client) != SND_SEQ_KERNEL_CLIENT ||
            snd_seq_client_info_get_card(client) != place.card) {
            continue;
        }
        const int id = snd_seq_client_info_get_client(client);
        const int number = place.device * kPortsPerRawMidiDevice + place.substream;
        if (snd_seq_get_any_port_info(seq, id, number, port) >= 0) {
            return snd_seq_addr_t{static_cast<unsigned char>(id),
                                  static_cast<unsigned char>(number)};
        }
    }
    return std::nullopt;
}

class SeqOutput : public ByteSink {
  public:
    SeqOutput(SeqHandle seq, int port, snd_seq_addr_t device, const RawMidiPlace& place)
        : seq_(std::move(seq)),
          port_(port),
          device_(device),
          procPath_(procMidiPath(place)),
          substream_(place.substream),
          paced_([this] { return room(); },
                 [this](const std::uint8_t* data, std::size_t size) { return put(data, size); }) {}

    std::vector<pollfd> pollDescriptors() override { return paced_.pollDescriptors(); }
    long write(const std::uint8_t* data, std::size_t size) override {
        return paced_.write(data, size);
    }
    int drained() override { return paced_.drained(); }
    std::chrono::milliseconds retryAfter() const override { return paced_.retryAfter(); }
    // Only what the sequencer itself still holds for us can be taken back. The pieces the
    // bridge took sit in its rawmidi buffer, which no client can empty: a device that takes
    // bytes again still gets them (a message cut short is discarded at the next F0; one
    // whole in that buffer is not).
    void drop() override { (void)snd_seq_drop_output(seq_.get()); }

  private:
    std::optional<BufferRoom> room() {
        const std::optional<RawMidiSubstreamState> state =
            parseRawMidiProc(readFile(procPath_), true, substream_);
        if (!state || !state->open || state->bufferSize <= 0 || state->avail < 0) {
            return std::nullopt;
        }
        return BufferRoom{static_cast<std::size_t>(state->bufferSize),
                          static_cast<std::size_t>(state->avail)};
    }

    // One piece as a SysEx event; the bridge copies its bytes into the rawmidi buffer
    // before the write returns, where room() sees them.
    long put(const std::uint8_t* data, std::size_t size) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, static_cast<unsigned char>(port_));
        snd_seq_ev_set_dest(&event, device_.client, device_.port);
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_sysex(&event, static_cast<unsigned>(size), const_cast<std::uint8_t*>(data));
        const int result = snd_seq_event_output_direct(seq_.get(), &event);
        if (result == -EAGAIN) return 0;
        // The device's client or port no longer exists: the device went away.
        if (result == -ENOENT) return -ENODEV;
        return result < 0 ? result : static_cast<long>(size);
    }

    SeqHandle seq_;
    const int port_;
    const snd_seq_addr_t device_;
    const std::string procPath_;
    const int substream_;
    PacedSink paced_;
};

class SeqInput : public ByteSource {
  public:
    SeqInput(SeqHandle seq, snd_seq_addr_t device, snd_midi_event_t* decoder)
        : seq_(std::move(seq)), device_(device), decoder_(decoder) {}
    ~SeqInput() override { snd_midi_event_free(decoder_); }

    std::vector<pollfd> pollDescriptors() override {
        const int count = snd_seq_poll_descriptors_count(seq_.get(), POLLIN);
        std::vector<pollfd> fds(count > 0 ? static_cast<std::size_t>(count) : 0);
        const int filled = snd_seq_poll_descriptors(seq_.get(), fds.data(),
                                                    static_cast<unsigned>(fds.size()), POLLIN);
        fds.resize(filled > 0 ? static_cast<std::size_t>(filled) : 0);
        return fds;
    }

    long readSome(std::uint8_t* data, std::size_t size) override {
        while (pending_.size() < size && !ended_) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(seq_.get(), &event);
            if (result == -EAGAIN) break;
            if (result == -ENOSPC) continue;  // events were lost: the engine notices
            if (result < 0) {
                ended_ = true;
                break;
            }
            if (event != nullptr) take(*event);
        }
        if (pending_.empty()) return ended_ ? -ENODEV : 0;
        const std::size_t n = std::min(size, pending_.size());
        std::memcpy(data, pending_.data(), n);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
        return static_cast<long>(n);
    }

  private:
    void take(const snd_seq_event_t& event) {
        if (event.source.client == SND_SEQ_CLIENT_SYSTEM) {
            const bool ours = event.data.addr.client == device_.client;
            if ((event.type == SND_SEQ_EVENT_CLIENT_EXIT && ours) ||
                (event.type == SND_SEQ_EVENT_PORT_EXIT && ours &&
                 event.data.addr.port == device_.port)) {
                ended_ = true;
            }
            return;
        }
        if (event.type == SND_SEQ_EVENT_SYSEX) {
            const auto* bytes = static_cast<const std::uint8_t*>(event.data.ext.ptr);
            if (bytes != nullptr)
                pending_.insert(pending_.end(), bytes, bytes + event.data.ext.len);
            return;
        }
        unsigned char bytes[16];
        const long n = snd_midi_event_decode(decoder_, bytes, sizeof bytes, &event);
        if (n > 0) pending_.insert(pending_.end(), bytes, bytes + n);
    }

    SeqHandle seq_;
    const snd_seq_addr_t device_;
    snd_midi_event_t* decoder_;
    std::vector<std::uint8_t> pending_;
    bool ended_ = false;
};

}  // namespace

PortHolders findPortHolders(const std::string& portName, bool output, const RawMidiPlace& place) {
    PortHolders holders;
    holders.portName = portName;
    holders.output = output;
    if (const auto state = parseRawMidiProc(readFile(procMidiPath(place)), output, place.substream);
        state && state->ownerPid > 0) {
        holders.ownerPid = state->ownerPid;
        std::string comm = readFile("/proc/" + std::to_string(state->ownerPid) + "/comm");
        while (!comm.empty() && (comm.back() == '\n' || comm.back() == ' ')) comm.pop_back();
        holders.ownerName = comm;
    }
    int error = 0;
    const SeqHandle seq = openSeq(SND_SEQ_OPEN_DUPLEX, error);
    if (!seq) return holders;
    const std::optional<snd_seq_addr_t> device = devicePort(seq.get(), place);
    if (!device) return holders;
    holders.seqClient = device->client;
    holders.seqPort = device->port;

    snd_seq_query_subscribe_t* query = nullptr;
    snd_seq_client_info_t* client = nullptr;
    snd_seq_query_subscribe_alloca(&query);
    snd_seq_client_info_alloca(&client);
    snd_seq_query_subscribe_set_root(query, &*device);
    // Who reads what the device sends holds its input; who writes to it holds its output.
    snd_seq_query_subscribe_set_type(query,
                                     output ? SND_SEQ_QUERY_SUBS_WRITE : SND_SEQ_QUERY_SUBS_READ);
    const int self = snd_seq_client_id(seq.get());
    for (int index = 0;; ++index) {
        snd_seq_query_subscribe_set_index(query, index);
        if (snd_seq_query_port_subscribers(seq.get(), query) < 0) break;
        const snd_seq_addr_t* other = snd_seq_query_subscribe_get_addr(query);
        if (other->client == self) continue;
        SeqListener listener;
        listener.client = other->client;
        listener.port = other->port;
        if (snd_seq_get_any_client_info(seq.get(), other->client, client) >= 0) {
            listener.name = snd_seq_client_info_get_name(client);
            listener.pid = snd_seq_client_info_get_pid(client);
        }
        holders.listeners.push_back(std::move(listener));
    }
    return holders;
}

std::unique_ptr<ByteSink> openSeqSink(const RawMidiPlace& place, int& error) {
    SeqHandle seq = openSeq(SND_SEQ_OPEN_OUTPUT, error);
    if (!seq) return nullptr;
    const std::optional<snd_seq_addr_t> device = devicePort(seq.get(), place);
    if (!device) {
        error = -ENOENT;
        return nullptr;
    }
    const int port = snd_seq_create_simple_port(
        seq.get(), "MIDI Out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
        error = port;
        return nullptr;
    }
    // The connection is what makes the bridge open the device's rawmidi output.
    error = snd_seq_connect_to(seq.get(), port, device->client, device->port);
    if (error < 0) return nullptr;
    error = 0;
    return std::make_unique<SeqOutput>(std::move(seq), port, *device, place);
}

std::unique_ptr<ByteSource> openSeqSource(const RawMidiPlace& place, int& error) {
    SeqHandle seq = openSeq(SND_SEQ_OPEN_INPUT, error);
    if (!seq) return nullptr;
    const std::optional<snd_seq_addr_t> device = devicePort(seq.get(), place);
    if (!device) {
        error = -ENOENT;
        return nullptr;
    }
    const int port = snd_seq_create_simple_port(
        seq.get(), "MIDI In", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
        error = port;
        return nullptr;
    }
    error = snd_seq_connect_from(seq.get(), port, device->client, device->port);
    if (error < 0) return nullptr;
    // Announcements tell when the device goes away; without them an unplugged device would
    // only show as silence.
    (void)snd_seq_connect_from(seq.get(), port, SND_SEQ_CLIENT_SYSTEM,
                               SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    snd_midi_event_t* decoder = nullptr;
    error = snd_midi_event_new(16, &decoder);
    if (error < 0) return nullptr;
    snd_midi_event_no_status(decoder, 1);
    error = 0;
    return std::make_unique<SeqInput>(std::move(seq), *device, decoder);
}

}  // namespace pxr9
