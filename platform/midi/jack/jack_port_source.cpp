#include "platform/midi/jack/jack_port_source.h"

namespace pxr9 {

int JackPortSource::begin() {
    // The client hears of ports only once it is open; the lists taken after this see
    // whatever came before.
    session_.client();
    session_.portChanges().take();
    return session_.portChanges().fd();
}

}  // namespace pxr9
