#include "protocol/reply.h"

#include <iomanip>

namespace pxr9 {

std::ostream& operator<<(std::ostream& os, const Reply& reply) {
    switch (reply.kind()) {
        case Reply::Kind::Status:
            return os << "status " << int{reply.statusCode()};
        case Reply::Kind::Identity:
            return os << "identity 0x" << std::hex << std::setw(8) << std::setfill('0')
                      << reply.identityWord() << std::dec << std::setfill(' ');
        case Reply::Kind::ReadData:
            return os << (reply.isAccepted() ? "read data accepted" : "read data rejected");
        case Reply::Kind::Timeout:
            return os << "timeout";
        case Reply::Kind::Silent:
            return os << "silent";
        case Reply::Kind::NotSent:
            return os << (reply.sendFoundDeviceGone() ? "not sent, device gone" : "not sent");
        case Reply::Kind::Abort:
            return os << "abort";
        case Reply::Kind::DeviceGone:
            return os << "device gone";
    }
    return os;
}

}  // namespace pxr9
