#include "tools/sim/sim_server.h"

#include <system_error>

namespace pxr9::tools {

namespace {

sim::SimDevice makeDevice(const SimToolOptions& options) {
    sim::SimDevice device(options.config);
    device.faults() = options.faults;
    return device;
}

}  // namespace

SimServer::SimServer(const SimToolOptions& options)
    : device_(makeDevice(options)), assembler_([this](const std::vector<std::uint8_t>& message) {
          for (sim::OutgoingMessage& answer : device_.receive(message, elapsedMs())) {
              pending_.emplace(answer.atMs, std::move(answer.bytes));
          }
      }) {}

SimServer::~SimServer() {
    stop();
}

bool SimServer::start(Send send) {
    if (thread_.joinable()) return true;
    send_ = std::move(send);
    try {
        thread_ = std::thread([this] { serve(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SimServer::deliver(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) return;
    {
        std::lock_guard lock(mutex_);
        incoming_.emplace_back(bytes, bytes + count);
    }
    changed_.notify_one();
}

void SimServer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::uint64_t SimServer::elapsedMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start_)
                                          .count());
}

void SimServer::serve() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!incoming_.empty()) {
            std::vector<std::uint8_t> chunk = std::move(incoming_.front());
            incoming_.pop_front();
            lock.unlock();
            assembler_.feed(chunk.data(), chunk.size());
            lock.lock();
            continue;
        }
        if (!pending_.empty() && pending_.begin()->first <= elapsedMs()) {
            std::vector<std::uint8_t> answer = std::move(pending_.begin()->second);
            pending_.erase(pending_.begin());
            lock.unlock();
            send_(answer);
            lock.lock();
            continue;
        }
        if (pending_.empty()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, start_ + std::chrono::milliseconds(pending_.begin()->first));
        }
    }
}

}  // namespace pxr9::tools
