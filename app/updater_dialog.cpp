#include "app/updater_dialog.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

#include "app/about_dialog.h"
#include "app/app_icon.h"
#include "app/dialog_units.h"
#include "engine/message_table.h"
#include "engine/update_procedure.h"
#include "engine/version_check.h"
#include "engine/version_report.h"
#include "platform/instance_name.h"

namespace pxr9 {

namespace {

QString fromText(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

DialogProcedures engineProcedures() {
    return {runUpdate, runVersionCheck};
}

UpdaterDialog::UpdaterDialog(const UpdaterPlatform& platform, int instanceNumber,
                             MessageBoxes& boxes, DialogProcedures procedures,
                             ResourceLookup lookup, QWidget* parent)
    : QDialog(parent),
      instanceNumber_(instanceNumber),
      boxes_(boxes),
      inDevices_(platform.inputs),
      outDevices_(platform.outputs),
      portWatch_(platform.portWatch),
      procedures_(std::move(procedures)),
      state_(platform, *this, std::move(lookup)) {
    buildControls();
    initDialog();
}

UpdaterDialog::~UpdaterDialog() {
    OnDestroy();
}

void UpdaterDialog::buildControls() {
    const DialogUnits du(font());
    setFixedSize(du.x(239), du.y(161));
    // A window of its own in the task bar, with no "what's this" button.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    // Template order, which is also the tab order.
    executeButton_ = new QPushButton(QStringLiteral("Execute"), this);
    executeButton_->setGeometry(du.rect(119, 138, 50, 16));
    executeButton_->setDefault(true);

    exitButton_ = new QPushButton(QStringLiteral("Exit"), this);
    exitButton_->setGeometry(du.rect(182, 138, 50, 16));

    auto* inLabel = new QLabel(QStringLiteral("MIDI IN"), this);
    inLabel->setGeometry(du.rect(7, 7, 225, 8));
    auto* outLabel = new QLabel(QStringLiteral("MIDI OUT"), this);
    outLabel->setGeometry(du.rect(7, 37, 225, 8));

    // A drop-down list keeps its own height; the template's height is that of the open list.
    midiInList_ = new QComboBox(this);
    midiInList_->setGeometry(du.x(7), du.y(15), du.x(225), midiInList_->sizeHint().height());
    midiOutList_ = new QComboBox(this);
    midiOutList_->setGeometry(du.x(7), du.y(45), du.x(225), midiOutList_->sizeHint().height());

    progressBar_ = new QProgressBar(this);
    progressBar_->setGeometry(du.rect(7, 107, 225, 14));
    progressBar_->setTextVisible(false);

    statusText_ = new QLineEdit(this);
    statusText_->setGeometry(du.rect(12, 91, 220, 12));
    statusText_->setReadOnly(true);
    statusText_->setFocusPolicy(Qt::ClickFocus);

    rescanButton_ = new QPushButton(QStringLiteral("Rescan Device"), this);
    rescanButton_->setGeometry(du.rect(145, 65, 87, 16));

    auto* picture = new QLabel(this);
    picture->setGeometry(du.rect(7, 134, 20, 20));

    stepText_ = new QLineEdit(this);
    stepText_->setGeometry(du.rect(12, 78, 29, 12));
    stepText_->setReadOnly(true);
    stepText_->setFocusPolicy(Qt::ClickFocus);

    versionCheckButton_ = new QPushButton(QStringLiteral("Version Check"), this);
    versionCheckButton_->setGeometry(du.rect(26, 140, 62, 14));

    setTabOrder(executeButton_, exitButton_);
    setTabOrder(exitButton_, midiInList_);
    setTabOrder(midiInList_, midiOutList_);
    setTabOrder(midiOutList_, statusText_);
    setTabOrder(statusText_, rescanButton_);
    setTabOrder(rescanButton_, stepText_);
    setTabOrder(stepText_, versionCheckButton_);

    connect(executeButton_, &QPushButton::clicked, this, [this] { OnExecute(); });
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(rescanButton_, &QPushButton::clicked, this, [this] { OnRescanDevice(); });
    connect(versionCheckButton_, &QPushButton::clicked, this, [this] { OnVersionCheck(); });
}

void UpdaterDialog::initDialog() {
    // The About item, offered in the context menu and on F1.
    systemMenu_ = new QMenu(this);
    const std::string aboutText = loadMessage(kMsgAboutItem);
    if (!aboutText.empty()) {
        systemMenu_->addSeparator();
        QAction* about = systemMenu_->addAction(fromText(aboutText));
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(kAboutCommand); });
        auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
        connect(help, &QShortcut::activated, this, [this] { OnSysCommand(kAboutCommand); });
    }

    setWindowIcon(appIcon());
    portLists_ = std::make_unique<PortListFollower>(midiInList_, midiOutList_, inDevices_,
                                                    outDevices_, instanceNumber_, portWatch_);
    scanPorts();
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    setWindowTitle(fromText(instanceName(kUpdaterTitle, instanceNumber_)));
    executeButton_->setFocus();
}

void UpdaterDialog::scanPorts() {
    portLists_->rescan();
}

void UpdaterDialog::showErrorText(std::uint32_t messageId) {
    showError(loadMessage(messageId));
}

int UpdaterDialog::openPorts() {
    if (busy_) {
        showErrorText(kMsgInProgress);
        return -1;
    }
    // The poll timer runs from here until the ports are closed: with no input port open
    // nothing can arrive, and an idle dialog should not wake.
    const auto failure =
        session_.openPorts(midiOutList_->currentIndex(), midiInList_->currentIndex());
    return failure ? -1 : 0;
}

void UpdaterDialog::OnExecute() {
    if (busy_) {
        showErrorText(kMsgInProgress);
        return;
    }
    if (openPorts() != 0) return;
    showControls(ControlState::Updating);
    start(Command::Update);
}

void UpdaterDialog::OnVersionCheck() {
    if (openPorts() != 0) return;
    showControls(ControlState::CheckingVersions);
    start(Command::VersionCheck);
}

void UpdaterDialog::start(Command command) {
    const DeviceSession::Procedure& procedure =
        command == Command::Update ? procedures_.update : procedures_.versionCheck;
    session_.begin(procedure, [this, command](const ProcedureOutcome& outcome) {
        // Dropped by the host when the dialog has closed meanwhile.
        host_.post([this, command, outcome] { finish(command, outcome); });
    });
}

void UpdaterDialog::finish(Command command, const ProcedureOutcome& outcome) {
    if (destroyed_) return;
    // Posted as the worker's last act: once it is joined no new command can meet it.
    host_.join();
    // The version check closed both ports: with no input nothing more can arrive.
    session_.stopDispatchWithoutInput();
    if (command == Command::VersionCheck && outcome.isCompleted()) {
        pxr9::showVersionReport(state_);
        // The report's box may have been open while the window closed.
        if (destroyed_) return;
    }
    // An updated device starts its new firmware: a new command needs "Rescan Device" first.
    const bool updated = command == Command::Update && outcome.isCompleted();
    showControls(updated ? ControlState::Updated : ControlState::Idle);
}

void UpdaterDialog::OnRescanDevice() {
    scanPorts();
    executeButton_->setEnabled(true);
    versionCheckButton_->setEnabled(true);
}

void UpdaterDialog::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) != kAboutCommand) return;
    AboutDialog about(this);
    about.exec();
}

void UpdaterDialog::OnDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    state_.channel.out.close();
    state_.channel.in.close();
    state_.requestAbort();
    // From here a worker's surface calls return at once and touch nothing.
    host_.close();
    host_.join();
}

void UpdaterDialog::done(int result) {
    OnDestroy();
    QDialog::done(result);
}

void UpdaterDialog::contextMenuEvent(QContextMenuEvent* event) {
    if (!systemMenu_->isEmpty()) systemMenu_->exec(event->globalPos());
}

void UpdaterDialog::keyPressEvent(QKeyEvent* event) {
    // Escape stands for "Exit" and is refused while "Exit" is disabled; closing the window
    // itself works in every state.
    if (event->key() == Qt::Key_Escape && !exitButton_->isEnabled()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void UpdaterDialog::setStatusText(const std::string& text) {
    host_.call([this, text] { statusText_->setText(fromText(text)); });
}

void UpdaterDialog::setStepText(const std::string& text) {
    host_.call([this, text] { stepText_->setText(fromText(text)); });
}

void UpdaterDialog::setProgressRange(std::int32_t lower, std::int32_t upper) {
    host_.call([this, lower, upper] { progressBar_->setRange(lower, upper); });
}

void UpdaterDialog::setProgressPosition(std::int32_t position) {
    // A position outside the range is pinned to its nearer end rather than ignored.
    host_.call([this, position] {
        const int lower = progressBar_->minimum();
        const int upper = std::max(lower, progressBar_->maximum());
        progressBar_->setValue(std::clamp(position, lower, upper));
    });
}

void UpdaterDialog::showError(const std::string& text, const std::string& cause) {
    // The cause, when known, is the box's second line.
    const std::string shown = cause.empty() ? text : text + "\n" + cause;
    host_.call([this, shown] {
        boxes_.show(this, fromText(shown), fromText(loadMessage(kMsgErrorCaption)), BoxIcon::Error);
    });
}

void UpdaterDialog::showVersionReport(const std::string& text) {
    host_.call([this, text] {
        boxes_.show(this, fromText(text), QStringLiteral("Version Information"),
                    BoxIcon::Information);
    });
}

void UpdaterDialog::showControls(ControlState state) {
    const bool running = state == ControlState::Updating || state == ControlState::CheckingVersions;
    midiInList_->setEnabled(!running);
    midiOutList_->setEnabled(!running);
    versionCheckButton_->setEnabled(state == ControlState::Idle);
    executeButton_->setEnabled(state == ControlState::Idle);
    // Closing the dialog abandons a version check, but never an update.
    exitButton_->setEnabled(state != ControlState::Updating);
    rescanButton_->setEnabled(!running);
    busy_ = running;
}

}  // namespace pxr9
