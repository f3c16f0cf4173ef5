#include "platform/midi/alsa/paced_sink.h"

#include <algorithm>
#include <cerrno>

namespace pxr9 {

std::size_t PacedSink::pieceFor(std::size_t wanted, const BufferRoom& room) {
    // A small buffer gets proportionally smaller pieces and reserve.
    const std::size_t largest = std::max<std::size_t>(1, std::min(kPiece, room.size / 2));
    const std::size_t reserve = std::min(kReserve, room.size / 4);
    const std::size_t piece = std::min(wanted, largest);
    return room.free >= piece + reserve ? piece : 0;
}

long PacedSink::write(const std::uint8_t* data, std::size_t size) {
    const std::optional<BufferRoom> room = room_();
    if (!room || room->size == 0) return -ENODEV;
    const std::size_t piece = pieceFor(size, *room);
    if (piece == 0) return 0;
    return put_(data, piece);
}

int PacedSink::drained() {
    const std::optional<BufferRoom> room = room_();
    if (!room || room->size == 0) return -ENODEV;
    return room->free >= room->size ? 1 : 0;
}

}  // namespace pxr9
