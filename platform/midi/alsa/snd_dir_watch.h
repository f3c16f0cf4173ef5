#pragma once

#include <string>
#include <string_view>

#include "platform/midi/watch_source.h"

namespace pxr9 {

// Sound cards coming and going, seen in their device nodes: a card's rawmidi nodes and then
// its control node appear once the card is registered and go when it is unplugged, and
// their permissions change when the device manager hands them to the user. Until the folder
// exists (no sound driver loaded yet), its parent is watched for it.
class SndDirWatch final : public WatchSource {
  public:
    explicit SndDirWatch(std::string folder = "/dev/snd");
    ~SndDirWatch() override;
    SndDirWatch(const SndDirWatch&) = delete;
    SndDirWatch& operator=(const SndDirWatch&) = delete;

    int begin() override;
    bool takeChanges() override;
    void end() override;

  private:
    // Watches the folder, else its parent for the folder to appear; true once the folder is
    // watched.
    bool watchFolder();

    const std::string folder_;
    std::string parent_;
    std::string leaf_;
    int fd_ = -1;
    int folderWatch_ = -1;
    int parentWatch_ = -1;
};

// Whether a node of that name in the sound folder is one the port lists are made from.
bool isPortListNode(std::string_view name);

}  // namespace pxr9
