#include "platform/midi/alsa/snd_dir_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace pxr9 {

namespace {

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM |
                                        IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

}  // namespace

bool isPortListNode(std::string_view name) {
    // Cards are found through their control node, rawmidi ports through their own; PCM,
    // timer and sequencer nodes change no port list.
    return name.starts_with("controlC") || name.starts_with("midiC");
}

SndDirWatch::SndDirWatch(std::string folder) : folder_(std::move(folder)) {
    const std::size_t slash = folder_.find_last_of('/');
    parent_ = slash == std::string::npos ? "." : slash == 0 ? "/" : folder_.substr(0, slash);
    leaf_ = slash == std::string::npos ? folder_ : folder_.substr(slash + 1);
}

SndDirWatch::~SndDirWatch() {
    end();
}

int SndDirWatch::begin() {
    end();
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return -1;
    watchFolder();
    if (folderWatch_ < 0 && parentWatch_ < 0) {
        end();
        return -1;
    }
    return fd_;
}

void SndDirWatch::end() {
    // Closing the instance removes its watches.
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    folderWatch_ = parentWatch_ = -1;
}

bool SndDirWatch::watchFolder() {
    folderWatch_ = inotify_add_watch(fd_, folder_.c_str(), kFolderEvents);
    if (folderWatch_ < 0 && parentWatch_ < 0) {
        parentWatch_ = inotify_add_watch(fd_, parent_.c_str(), kParentEvents);
        // The folder may have come between the two calls, with no event left to say so.
        folderWatch_ = inotify_add_watch(fd_, folder_.c_str(), kFolderEvents);
    }
    if (folderWatch_ >= 0 && parentWatch_ >= 0) {
        inotify_rm_watch(fd_, parentWatch_);
        parentWatch_ = -1;
    }
    return folderWatch_ >= 0;
}

bool SndDirWatch::takeChanges() {
    if (fd_ < 0) return false;
    bool changed = false;
    bool refolder = false;
    alignas(inotify_event) char buffer[4096];
    while (true) {
        const ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        const auto size = static_cast<std::size_t>(got);
        for (std::size_t at = 0; size - at >= sizeof(inotify_event);) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // The kernel hands out whole events only; a name running past what was read
            // would end the batch.
            if (event->len > size - at - sizeof(inotify_event)) break;
            at += sizeof(inotify_event) + event->len;
            // Events were lost: anything may have changed.
            if ((event->mask & IN_Q_OVERFLOW) != 0) changed = true;
            const std::string_view name(event->name, strnlen(event->name, event->len));
            if (event->wd == folderWatch_ && folderWatch_ >= 0) {
                if ((event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
                    // The folder went (its driver unloaded): every card with it.
                    refolder = true;
                    changed = true;
                } else if (isPortListNode(name)) {
                    changed = true;
                }
            } else if (event->wd == parentWatch_ && parentWatch_ >= 0 && name == leaf_) {
                refolder = true;
            }
        }
    }
    if (refolder) {
        if (folderWatch_ >= 0) inotify_rm_watch(fd_, folderWatch_);
        folderWatch_ = -1;
        // Cards may have come with the folder before it was watched.
        if (watchFolder()) changed = true;
    }
    return changed;
}

}  // namespace pxr9
