#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "midi/midi_service.h"
#include "platform/midi/port_backend.h"
#include "platform/midi/port_directory.h"

namespace pxr9 {

// The output service over several backends, numbering their ports in one order.
class SystemMidiOut : public MidiOutService {
  public:
    explicit SystemMidiOut(std::vector<OutputBackend*> backends);

    int deviceCount() override;
    bool deviceName(int index, std::string& name) override;
    bool open(MidiHandle& handle, std::int32_t deviceIndex) override;
    bool close(MidiHandle handle) override;
    bool prepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool longMessage(MidiHandle handle, MidiHeader& header) override;
    bool waitDone(MidiHandle handle, MidiHeader& header, std::uint32_t timeoutMs) override;
    bool unprepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool reset(MidiHandle handle) override;
    bool deviceGone(MidiHandle handle) override;

  private:
    std::shared_ptr<OutputConnection> connection(MidiHandle handle);

    PortDirectory<OutputBackend> directory_;
    std::mutex mutex_;
    // Shared so that a close under a send in progress on another thread frees nothing that
    // the send still uses.
    std::map<MidiHandle, std::shared_ptr<OutputConnection>> open_;
    MidiHandle nextHandle_ = 1;
};

}  // namespace pxr9
