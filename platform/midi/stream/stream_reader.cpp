#include "platform/midi/stream/stream_reader.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace pxr9 {

StreamReader::StreamReader(ByteSource& source, SysexRecorder& recorder)
    : StreamReader(
          source,
          [&recorder](const std::uint8_t* bytes, std::size_t count) {
              recorder.feed(bytes, count);
          },
          [&recorder] { recorder.inputEnded(); }) {}

StreamReader::StreamReader(ByteSource& source, Consumer consumer, EndNotice ended)
    : source_(source), consumer_(std::move(consumer)), ended_(std::move(ended)) {}

StreamReader::~StreamReader() {
    stop();
}

bool StreamReader::start() {
    if (thread_.joinable()) return true;
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return false;
    try {
        thread_ = std::thread([this, fd = wakeFd_] { run(fd); });
    } catch (const std::system_error&) {
        ::close(wakeFd_);
        wakeFd_ = -1;
        return false;
    }
    return true;
}

void StreamReader::stop() {
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void StreamReader::run(int wakeFd) {
    std::array<std::uint8_t, 4096> chunk{};
    for (;;) {
        std::vector<pollfd> fds = source_.pollDescriptors();
        fds.push_back(pollfd{wakeFd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds.back().revents != 0) return;
        bool broken = false;
        for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
            broken = broken || (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        }
        // Drain what is there, so that one wake-up never leaves bytes behind.
        bool readAny = false;
        for (;;) {
            const long n = source_.readSome(chunk.data(), chunk.size());
            // A descriptor that reports an error but yields nothing would wake this loop
            // for ever: the source has ended like one that says so.
            if (n < 0 || (n == 0 && broken && !readAny)) {
                if (ended_) ended_();
                return;
            }
            if (n == 0) break;
            readAny = true;
            consumer_(chunk.data(), static_cast<std::size_t>(n));
        }
    }
}

}  // namespace pxr9
