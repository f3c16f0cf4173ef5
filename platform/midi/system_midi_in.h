#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "midi/midi_service.h"
#include "platform/midi/port_backend.h"
#include "platform/midi/port_directory.h"
#include "platform/midi/stream/sysex_recorder.h"

namespace pxr9 {

// The input service over several backends, numbering their ports in one order. Each open
// port records SysEx into the buffers lent to it.
class SystemMidiIn : public MidiInService {
  public:
    explicit SystemMidiIn(std::vector<InputBackend*> backends);
    ~SystemMidiIn() override;

    int deviceCount() override;
    bool deviceName(int index, std::string& name) override;
    bool open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
              void* instance) override;
    bool reset(MidiHandle handle) override;
    bool prepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool addBuffer(MidiHandle handle, MidiHeader& header) override;
    bool start(MidiHandle handle) override;
    bool stop(MidiHandle handle) override;
    // Refused while the buffer is still lent: it could still be written into.
    bool unprepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool close(MidiHandle handle) override;

  private:
    struct OpenPort {
        OpenPort(MidiHandle handle, MidiInCallback callback, void* instance)
            : recorder(handle, callback, instance) {}
        ~OpenPort();
        SysexRecorder recorder;  // declared first: the connection feeding it ends before it
        std::unique_ptr<InputConnection> connection;
    };

    std::shared_ptr<OpenPort> find(MidiHandle handle);

    PortDirectory<InputBackend> directory_;
    std::mutex mutex_;
    std::map<MidiHandle, std::shared_ptr<OpenPort>> open_;
    MidiHandle nextHandle_ = 1;
};

}  // namespace pxr9
