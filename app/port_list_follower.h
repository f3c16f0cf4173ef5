#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "midi/port_directory.h"
#include "midi/port_identity.h"
#include "midi/port_watch.h"

class QComboBox;

namespace pxr9 {

// Keeps the dialog's two port lists in step with the devices, so that a device plugged in
// or out shows without "Rescan Device". The platform's watch speaks on its own thread; the
// lists are taken afresh on the GUI thread. A selected device stays selected wherever it
// moved to; one that went away stays selected as "<name> (disconnected)" after the devices,
// where it opens nothing; with nothing selected, the copy's own device is selected as at the
// start. While an operation runs (the lists are disabled) nothing changes: the latest state
// is shown once the lists are enabled again.
class PortListFollower final : public QObject {
  public:
    // Starts the watch, when there is one.
    PortListFollower(QComboBox* inList, QComboBox* outList, PortList& inDevices,
                     PortList& outDevices, int instanceNumber, PortWatch* watch);
    // Stops the watch: no call of it is running afterwards.
    ~PortListFollower() override;
    PortListFollower(const PortListFollower&) = delete;
    PortListFollower& operator=(const PortListFollower&) = delete;

    // Fills both lists afresh and selects the copy's own device, as at the start.
    void rescan();

    // What became of the watch's word, on the GUI thread: taken into the lists, or held
    // until the running operation ends.
    enum class Outcome { Applied, Held };
    void setListener(std::function<void(Outcome)> listener) { listener_ = std::move(listener); }

    // The text of a gone device's item.
    static QString goneText(const std::string& name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The watch's word, or the lists enabled again while a word was held.
    void customEvent(QEvent* event) override;

  private:
    struct Followed {
        QComboBox* list;
        PortList& devices;
        std::vector<std::string> names;    // as the list shows them, item k being device k
        std::optional<PortIdentity> gone;  // shown after them, when the selection went away
    };

    // From the watch's thread.
    void announced();
    bool idle() const;
    void follow(Followed& followed);
    void show(Followed& followed, std::vector<std::string> names, int selected,
              std::optional<PortIdentity> gone);
    void tell(Outcome outcome);

    const int instanceNumber_;
    Followed in_;
    Followed out_;
    PortWatch* const watch_;
    // Set while a word of the watch is on its way to the GUI thread.
    std::atomic<bool> posted_{false};
    bool pending_ = false;  // a word not yet taken into the lists
    std::function<void(Outcome)> listener_;
};

}  // namespace pxr9
