#pragma once

#include <cstdint>
#include <string>

namespace pxr9 {

// Ids of the user-visible texts.
enum MessageId : std::uint32_t {
    kMsgAboutItem = 101,
    // No answer to the Identity Request or to Update Start.
    kMsgStartTimeout = 102,
    // No answer to the last send of a Write Block.
    kMsgWriteTimeout = 103,
    // No answer to a Flash Erase.
    kMsgEraseTimeout = 104,
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
