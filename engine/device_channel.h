#pragma once

#include "midi/dispatch_thread.h"
#include "midi/midi_in_port.h"
#include "midi/midi_out_port.h"
#include "protocol/device_link.h"
#include "protocol/reply_event.h"

namespace pxr9 {

// The way to one device: both ports, the link that the requests and the dispatcher share,
// and the thread that dispatches what arrives.
struct DeviceChannel {
    DeviceChannel(InputPorts& inputs, OutputPorts& outputs, ReplyEvent& replyEvent)
        : in(inputs), out(outputs), link(out, in.queue(), replyEvent), dispatcher(in.queue()) {}
    DeviceChannel(const DeviceChannel&) = delete;
    DeviceChannel& operator=(const DeviceChannel&) = delete;

    MidiInPort in;
    MidiOutPort out;
    DeviceLink link;
    // Declared after everything a dispatch uses, so it is stopped before they go.
    DispatchThread dispatcher;
};

}  // namespace pxr9
