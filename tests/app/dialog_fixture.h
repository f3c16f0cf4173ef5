#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>
#include <memory>
#include <ostream>

#include "app/updater_dialog.h"
#include "engine/procedure_outcome.h"
#include "protocol/reply.h"
#include "tests/doubles/fake_platform.h"

namespace pxr9::testing {

// Only a guard for a broken test; every expected path is released by the test itself.
inline constexpr std::uint32_t kGuardMs = 600000;

enum class DialogState { Idle, Updating, Updated, CheckingVersions };

// Which of the six controls are enabled, and busy.
struct ControlState {
    bool lists;
    bool execute;
    bool exit;
    bool rescan;
    bool versionCheck;
    int busy;
    bool operator==(const ControlState&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const ControlState& s) {
        return os << "{lists " << s.lists << ", execute " << s.execute << ", exit " << s.exit
                  << ", rescan " << s.rescan << ", versionCheck " << s.versionCheck << ", busy "
                  << s.busy << "}";
    }
};

inline ControlState expected(DialogState state) {
    switch (state) {
        case DialogState::Idle:
            return {true, true, true, true, true, 0};
        case DialogState::Updating:
            return {false, false, false, false, false, 1};
        case DialogState::Updated:
            return {true, false, true, true, false, 0};
        case DialogState::CheckingVersions:
            return {false, false, true, false, false, 1};
    }
    return {};
}

inline ControlState observe(UpdaterDialog& dialog) {
    const bool in = dialog.midiInList()->isEnabled();
    EXPECT_EQ(in, dialog.midiOutList()->isEnabled()) << "the two lists always go together";
    return {in,
            dialog.executeButton()->isEnabled(),
            dialog.exitButton()->isEnabled(),
            dialog.rescanButton()->isEnabled(),
            dialog.versionCheckButton()->isEnabled(),
            dialog.busy() ? 1 : 0};
}

// Procedures that behave like the engine's but wait for the test's verdict: the test hands
// over a status and signals the reply event, as the dispatcher does for a device's answer.
struct ScriptedProcedures {
    // The worker's wait ended with the abort of a closing dialog.
    std::atomic<bool> sawAbort{false};
    // What an aborted worker still tries (to prove it reaches nothing).
    std::function<void(UpdaterState&)> afterAbort;

    DialogProcedures procedures() {
        return {[this](UpdaterState& s) { return update(s); },
                [this](UpdaterState& s) { return versionCheck(s); }};
    }

    ProcedureOutcome update(UpdaterState& s) {
        s.surface.setStepText("0/10");
        const Reply reply = verdict(s);
        if (reply.kind() == Reply::Kind::Abort) {
            if (afterAbort) afterAbort(s);
            return ProcedureOutcome::aborted();
        }
        if (!reply.isAccepted()) {
            s.surface.showError("Transfer error occurred.");
            return ProcedureOutcome::failed(FailureKind::Refused, "Transfer error occurred.");
        }
        s.surface.setStepText("10/10");
        s.surface.setStatusText("Version update completed.");
        return ProcedureOutcome::completed();
    }

    ProcedureOutcome versionCheck(UpdaterState& s) {
        const Reply reply = verdict(s);
        if (reply.kind() == Reply::Kind::Abort && afterAbort) afterAbort(s);
        if (reply.isAccepted()) {
            s.versions.device.system = s.versions.device.preset = s.versions.device.boot = "1.00";
            s.versions.carried.system = "1.10";
            s.versions.carried.preset = s.versions.carried.boot = "1.00";
        }
        s.channel.out.close();
        s.channel.in.close();
        if (reply.kind() == Reply::Kind::Abort) return ProcedureOutcome::aborted();
        if (!reply.isAccepted()) return ProcedureOutcome::failed(FailureKind::Refused, {});
        return ProcedureOutcome::completed();
    }

    Reply verdict(UpdaterState& s) {
        if (!s.link.replyEvent.wait(kGuardMs)) return Reply::timeout();
        if (s.abortRequested.load()) {
            sawAbort = true;
            return Reply::abort();
        }
        return s.link.takeAnswer().value_or(Reply::timeout());
    }
};

inline void answer(UpdaterDialog& dialog, std::uint8_t status) {
    DeviceLink& link = dialog.state().link;
    {
        std::lock_guard lock(link.exchangeMutex);
        link.answer = Reply::status(status);
    }
    link.replyEvent.set();
}

// Lets the worker finish, carrying out its surface calls, then delivers what it posted.
inline void settle(UpdaterDialog& dialog) {
    dialog.joinWorker();
    QCoreApplication::sendPostedEvents();
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override { fake.setNames({"Other", "KEVO PXR-9"}); }

    UpdaterDialog& make(int instanceNumber = 1) {
        dialog = std::make_unique<UpdaterDialog>(fake.platform(), instanceNumber, boxes,
                                                 scripted.procedures());
        dialog->show();
        return *dialog;
    }
    UpdaterDialog& makeWithEngine(int instanceNumber = 1) {
        dialog = std::make_unique<UpdaterDialog>(fake.platform(), instanceNumber, boxes);
        dialog->show();
        return *dialog;
    }

    FakePlatform fake;
    RecordingBoxes boxes;
    ScriptedProcedures scripted;
    std::unique_ptr<UpdaterDialog> dialog;
};

inline ShownBox errorBox(const char* text) {
    return {QString::fromLatin1(text), QStringLiteral("Error"), BoxIcon::Error};
}

}  // namespace pxr9::testing
