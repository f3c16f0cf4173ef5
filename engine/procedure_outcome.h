#pragma once

#include <ostream>
#include <string>
#include <utility>

namespace pxr9 {

// Why a procedure failed, for a front end that acts on it rather than on the text shown.
enum class FailureKind {
    None,             // it did not fail
    Timeout,          // the device did not answer in time
    Refused,          // the device answered with a refusal, or with an answer that is no use
    WrongDevice,      // the device is not the supported model
    NotInUpdateMode,  // the device is not in its firmware update mode
    Port,             // a MIDI port could not be opened or the request could not be sent
    DeviceGone,       // the device went away
    MissingImage,     // an image this program carries is missing or too short
};

// "timeout", "refused", "wrong-device", "not-in-update-mode", "port", "device-gone",
// "missing-image"; empty for None.
constexpr const char* failureKindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::None:
            return "";
        case FailureKind::Timeout:
            return "timeout";
        case FailureKind::Refused:
            return "refused";
        case FailureKind::WrongDevice:
            return "wrong-device";
        case FailureKind::NotInUpdateMode:
            return "not-in-update-mode";
        case FailureKind::Port:
            return "port";
        case FailureKind::DeviceGone:
            return "device-gone";
        case FailureKind::MissingImage:
            return "missing-image";
    }
    return "";
}

// How an update or a version check ended: ran to its end, failed (after showing its error
// box, when it shows one), or ended silently because the front end is going away. The front
// end hands its controls back from this alone.
struct ProcedureOutcome {
    enum class Kind { Completed, Failed, Aborted };

    Kind kind = Kind::Completed;
    // For Failed: why.
    FailureKind failure = FailureKind::None;
    // For Failed: the text of the error box that was shown; empty when the failure showed none.
    std::string message;
    // For Failed: what the updater knows of why, shown under the text; empty when nothing.
    std::string cause;

    static ProcedureOutcome completed() { return {Kind::Completed, FailureKind::None, {}, {}}; }
    static ProcedureOutcome failed(FailureKind why, std::string shown, std::string cause = {}) {
        return {Kind::Failed, why, std::move(shown), std::move(cause)};
    }
    static ProcedureOutcome aborted() { return {Kind::Aborted, FailureKind::None, {}, {}}; }

    bool isCompleted() const { return kind == Kind::Completed; }
    bool isAborted() const { return kind == Kind::Aborted; }
    bool operator==(const ProcedureOutcome&) const = default;
};

// For test failures: "completed", "failed (<kind>): <text> (<cause>)", "aborted".
inline std::ostream& operator<<(std::ostream& os, const ProcedureOutcome& outcome) {
    switch (outcome.kind) {
        case ProcedureOutcome::Kind::Completed:
            return os << "completed";
        case ProcedureOutcome::Kind::Failed:
            os << "failed (" << failureKindName(outcome.failure) << "): " << outcome.message;
            return outcome.cause.empty() ? os : os << " (" << outcome.cause << ")";
        case ProcedureOutcome::Kind::Aborted:
            return os << "aborted";
    }
    return os;
}

}  // namespace pxr9
