#include "app/port_list_follower.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QStandardItemModel>

#include "midi/port_follow.h"
#include "midi/port_selection.h"

namespace pxr9 {

namespace {

QString fromText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PortListFollower::PortListFollower(QComboBox* inList, QComboBox* outList, PortList& inDevices,
                                   PortList& outDevices, int instanceNumber, PortWatch* watch)
    : instanceNumber_(instanceNumber),
      in_{inList, inDevices, {}, {}},
      out_{outList, outDevices, {}, {}},
      watch_(watch) {
    inList->installEventFilter(this);
    outList->installEventFilter(this);
    // Started before the first scan, so nothing that comes after it goes unseen.
    if (watch_) watch_->start([this] { announced(); });
}

PortListFollower::~PortListFollower() {
    // A word posted before this is dropped with the object.
    if (watch_) watch_->stop();
}

QString PortListFollower::goneText(const std::string& name) {
    return name.empty() ? QStringLiteral("(disconnected)")
                        : fromText(name) + QStringLiteral(" (disconnected)");
}

void PortListFollower::rescan() {
    const auto patterns = portPatterns(instanceNumber_, kPlatformNameEncoding);
    for (Followed* followed : {&out_, &in_}) {
        std::vector<std::string> names = listDeviceNames(followed->devices);
        const int selected = selectPort(names, patterns);
        show(*followed, std::move(names), selected, std::nullopt);
    }
}

void PortListFollower::announced() {
    // The event carries nothing: the word travels in the atomic, which orders it for
    // ThreadSanitizer too. A burst of words costs one refresh.
    if (!posted_.exchange(true)) QCoreApplication::postEvent(this, new QEvent(QEvent::User));
}

void PortListFollower::customEvent(QEvent*) {
    // Cleared before the lists are taken: a word that comes during the taking posts again.
    const bool announcedNow = posted_.exchange(false);
    if (announcedNow) pending_ = true;
    if (!pending_) return;
    if (!idle()) {
        if (announcedNow) tell(Outcome::Held);
        return;
    }
    pending_ = false;
    follow(out_);
    follow(in_);
    tell(Outcome::Applied);
}

bool PortListFollower::idle() const {
    return in_.list->isEnabled() && out_.list->isEnabled();
}

bool PortListFollower::eventFilter(QObject* watched, QEvent* event) {
    // The lists are enabled again as an operation ends: what was held is taken once the
    // dialog has finished enabling its controls, not in the middle of it.
    if (event->type() == QEvent::EnabledChange && pending_ &&
        static_cast<QWidget*>(watched)->isEnabled()) {
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    return QObject::eventFilter(watched, event);
}

void PortListFollower::follow(Followed& followed) {
    const int current = followed.list->currentIndex();
    const bool goneSelected = followed.gone && current == static_cast<int>(followed.names.size());
    const std::optional<PortIdentity> selected =
        goneSelected ? followed.gone : identityAt(followed.names, current);
    FollowedList next = followPorts(listDeviceNames(followed.devices), selected,
                                    portPatterns(instanceNumber_, kPlatformNameEncoding));
    // An unchanged list is left as it is: a list the user has open stays open.
    if (next.names == followed.names && next.gone == followed.gone && next.selected == current)
        return;
    show(followed, std::move(next.names), next.selected, std::move(next.gone));
}

void PortListFollower::show(Followed& followed, std::vector<std::string> names, int selected,
                            std::optional<PortIdentity> gone) {
    QComboBox* list = followed.list;
    list->clear();
    for (const std::string& name : names) list->addItem(fromText(name));
    if (gone) {
        list->addItem(goneText(gone->name));
        // It can stay selected, but nobody can choose it again.
        if (auto* model = qobject_cast<QStandardItemModel*>(list->model())) {
            model->item(list->count() - 1)->setEnabled(false);
        }
    }
    list->setCurrentIndex(selected);
    followed.names = std::move(names);
    followed.gone = std::move(gone);
}

void PortListFollower::tell(Outcome outcome) {
    if (listener_) listener_(outcome);
}

}  // namespace pxr9
