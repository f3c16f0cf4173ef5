#include "engine/message_table.h"

namespace pxr9 {

std::string loadMessage(std::uint32_t id) {
    switch (id) {
        case kMsgAboutItem:
            return "About KEVO RN Series Updater(&A)...";
        case kMsgStartTimeout:
            return "Time out error(1)";
        case kMsgWriteTimeout:
            return "Time out error(2)";
        case kMsgEraseTimeout:
            return "Time out error(3)";
        case kMsgIllegalDevice:
            return "Illegal device connected.";
        case kMsgUseUpdateMode:
            return "Please use the firmware update mode.";
        case kMsgTransferError:
            return "Transfer error occurred.";
        case kMsgUpdateCompleted:
            return "Version update completed.";
        case kMsgInProgress:
            return "In Progress.";
        case kMsgCantOpenMidiIn:
            return "Can't open MIDI In device.";
        case kMsgErrorCaption:
            return "Error";
        case kMsgCantOpenMidiOut:
            return "Can't open MIDI Out device.";
        case kMsgErasing:
            return "Erasing Flash memory.";
        case kMsgDataTransmit:
            return "Data transmit  %d / %d ";
        default:
            return {};
    }
}

}  // namespace pxr9
