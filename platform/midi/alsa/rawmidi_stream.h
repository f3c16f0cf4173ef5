#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/midi/stream/byte_stream.h"

namespace pxr9 {

// Whole SysEx messages of up to 4,700 bytes fit many times over, so a reader that is late by
// a few messages loses nothing (the kernel's default is 4 KiB).
inline constexpr std::size_t kRawMidiInputBuffer = 64 * 1024;
// Room for a whole message, so that a send is one write and then a wait for the driver.
inline constexpr std::size_t kRawMidiOutputBuffer = 64 * 1024;

// alsa-lib reports some failures on stderr; the programs report their own and keep it quiet.
void silenceAlsaErrors();

// Opens the input of a rawmidi port ("hw:1,0,0") with an input buffer of `bufferSize` bytes.
// Null with the negative errno in `error` when it cannot be opened.
std::unique_ptr<ByteSource> openRawMidiSource(const std::string& address, std::size_t bufferSize,
                                              int& error);
// Opens the output of a rawmidi port; its writes never block (see ByteSink). Null with the
// negative errno in `error`.
std::unique_ptr<ByteSink> openRawMidiSink(const std::string& address, int& error);

}  // namespace pxr9
