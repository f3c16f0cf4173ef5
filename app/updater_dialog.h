#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/message_boxes.h"
#include "app/port_list_follower.h"
#include "app/worker_host.h"
#include "engine/device_session.h"
#include "engine/dialog_surface.h"
#include "engine/updater_state.h"

class QComboBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace pxr9 {

// The procedures the dialog's commands run; the engine's own unless a test replaces them.
struct DialogProcedures {
    DeviceSession::Procedure update;
    DeviceSession::Procedure versionCheck;
};
DialogProcedures engineProcedures();

// Command id of the About item; any id whose upper bits match opens the About box.
inline constexpr unsigned kAboutCommand = 0x10;

// The updater's one window. It owns the UpdaterState and is the surface its workers report
// through: each surface call takes effect on the GUI thread before the worker goes on. It
// owns busy: set when a command starts its procedure, cleared when the outcome comes back.
class UpdaterDialog : public QDialog, public DialogSurface {
  public:
    UpdaterDialog(const UpdaterPlatform& platform, int instanceNumber, MessageBoxes& boxes,
                  DialogProcedures procedures = engineProcedures(),
                  ResourceLookup lookup = pxr9::findResource, QWidget* parent = nullptr);
    // Tears down as closing does, then stops the poll timer before the rest of the state goes.
    ~UpdaterDialog() override;

    // Command handlers.
    void OnExecute();
    void OnVersionCheck();
    void OnRescanDevice();
    void OnSysCommand(unsigned id);
    // Closing: ports closed, the abort signalled, the worker released and joined. Idempotent.
    void OnDestroy();

    // 0 when both ports are open, -1 after a reported failure.
    int openPorts();
    void scanPorts();

    // Waits for the running worker to end, carrying out its surface calls meanwhile.
    void joinWorker() { host_.join(); }

    UpdaterState& state() { return state_; }
    // A command's procedure runs and has not handed the dialog back.
    bool busy() const { return busy_; }
    WorkerHost& workerHost() { return host_; }
    PortListFollower& portLists() { return *portLists_; }
    int instanceNumber() const { return instanceNumber_; }

    QComboBox* midiInList() const { return midiInList_; }
    QComboBox* midiOutList() const { return midiOutList_; }
    QProgressBar* progressBar() const { return progressBar_; }
    QPushButton* executeButton() const { return executeButton_; }
    QPushButton* exitButton() const { return exitButton_; }
    QLineEdit* statusText() const { return statusText_; }
    QPushButton* rescanButton() const { return rescanButton_; }
    QLineEdit* stepText() const { return stepText_; }
    QPushButton* versionCheckButton() const { return versionCheckButton_; }
    // Stands in for the window's system menu, which Linux window managers do not extend.
    QMenu* systemMenu() const { return systemMenu_; }

    // DialogSurface
    void setStatusText(const std::string& text) override;
    void setStepText(const std::string& text) override;
    void setProgressRange(std::int32_t lower, std::int32_t upper) override;
    void setProgressPosition(std::int32_t position) override;
    using DialogSurface::showError;
    void showError(const std::string& text, const std::string& cause) override;
    void showVersionReport(const std::string& text) override;

    void done(int result) override;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildControls();
    void initDialog();
    void showErrorText(std::uint32_t messageId);

    enum class Command { Update, VersionCheck };
    // What the six controls show and whether busy is set.
    enum class ControlState { Idle, Updating, Updated, CheckingVersions };
    void showControls(ControlState state);
    // Runs the command's procedure; its outcome comes back to finish() on the GUI thread.
    void start(Command command);
    // The one place where a command hands the dialog back, from its procedure's outcome.
    void finish(Command command, const ProcedureOutcome& outcome);

    const int instanceNumber_;
    MessageBoxes& boxes_;
    PortList& inDevices_;
    PortList& outDevices_;
    PortWatch* const portWatch_;
    DialogProcedures procedures_;
    UpdaterState state_;
    // Declared after the state: destroyed first, so no worker outlives what it uses.
    WorkerHost host_;
    DeviceSession session_{state_, host_};
    bool busy_ = false;
    bool destroyed_ = false;

    QComboBox* midiInList_ = nullptr;
    QComboBox* midiOutList_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* executeButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QLineEdit* statusText_ = nullptr;
    QPushButton* rescanButton_ = nullptr;
    QLineEdit* stepText_ = nullptr;
    QPushButton* versionCheckButton_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    // Destroyed before the lists it fills; its watch stops first.
    std::unique_ptr<PortListFollower> portLists_;
};

}  // namespace pxr9
