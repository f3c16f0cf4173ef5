#include "tools/cli/port_watch_run.h"

#include "midi/port_selection.h"
#include "tools/cli/port_listing.h"

namespace pxr9::tools {

bool PortWatchRun::run(PortWatch& watch, int instance) {
    // Started before the first lists are taken, so no change after them goes unseen.
    const bool started = watch.start([this] {
        {
            std::lock_guard lock(mutex_);
            changed_ = true;
        }
        wake_.notify_all();
    });
    if (!started) return false;
    Lists shown = take();
    print(shown, instance);

    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return changed_ || stopped_; });
        if (stopped_) break;
        changed_ = false;
        lock.unlock();
        Lists now = take();
        const auto inEvents = portEvents(shown.in, now.in);
        const auto outEvents = portEvents(shown.out, now.out);
        // A word that changed nothing in these lists (another kind of sound device) says
        // nothing either.
        if (!inEvents.empty() || !outEvents.empty()) {
            printPortEvents(out_, "MIDI IN", inEvents);
            printPortEvents(out_, "MIDI OUT", outEvents);
            print(now, instance);
            shown = std::move(now);
        }
        lock.lock();
    }
    lock.unlock();
    watch.stop();
    return true;
}

void PortWatchRun::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

PortWatchRun::Lists PortWatchRun::take() {
    return {listDeviceNames(inputs_), listDeviceNames(outputs_)};
}

void PortWatchRun::print(const Lists& lists, int instance) {
    const auto patterns = portPatterns(instance, kPlatformNameEncoding);
    printPortList(out_, "MIDI IN", lists.in, selectPort(lists.in, patterns));
    printPortList(out_, "MIDI OUT", lists.out, selectPort(lists.out, patterns));
    out_ << std::flush;
}

}  // namespace pxr9::tools
