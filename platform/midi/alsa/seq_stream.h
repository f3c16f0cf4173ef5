#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/midi/alsa/rawmidi_holders.h"
#include "platform/midi/stream/byte_stream.h"

namespace pxr9 {

// The way to a rawmidi port that someone holds: while a program is connected to a device's
// sequencer port, the kernel's sequencer bridge keeps the device's rawmidi port open, and
// the sequencer is the only way in. These open the device's sequencer port instead.

// Who holds the port at `place` (sequencer connections, or the process that opened it).
PortHolders findPortHolders(const std::string& portName, bool output, const RawMidiPlace& place);

// Sends through the bridge in paced pieces (PacedSink), watching the bridge's buffer in
// /proc/asound. Null with a negative errno in `error`.
std::unique_ptr<ByteSink> openSeqSink(const RawMidiPlace& place, int& error);
// Reads what the device sends through the bridge; ends when the device's client goes away.
std::unique_ptr<ByteSource> openSeqSource(const RawMidiPlace& place, int& error);

}  // namespace pxr9
