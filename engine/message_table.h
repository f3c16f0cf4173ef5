#pragma once

#include <cstdint>
#include <string>

namespace pxr9 {

// Ids of the user-visible texts.
enum MessageId : std::uint32_t {
    kMsgAboutItem = 101,
    kMsgTimeout1 = 102,
    kMsgTimeout2 = 103,
    kMsgTimeout3 = 104,
    kMsgIllegalDevice = 105,
    kMsgUseUpdateMode = 106,
    kMsgTransferError = 107,
    kMsgUpdateCompleted = 108,
    kMsgInProgress = 109,
    kMsgCantOpenMidiIn = 110,
    kMsgErrorCaption = 111,
    kMsgCantOpenMidiOut = 113,
    kMsgErasing = 114,
    kMsgDataTransmit = 115,
};

// The text of an id, or an empty text for an id the table does not hold.
std::string loadMessage(std::uint32_t id);

}  // namespace pxr9
