#pragma once

#include <ostream>
#include <string>
#include <utility>

namespace pxr9 {

// How an update or a version check ended, for a caller that must act on it rather than read
// the dialog: ran to its end, stopped after showing an error box, or ended silently because
// the dialog is going away.
struct ProcedureOutcome {
    enum class Kind { Completed, Failed, Aborted };

    Kind kind = Kind::Completed;
    // For Failed: the text of the error box that was shown; empty when the failure showed none.
    std::string message;
    // For Failed: what the updater knows of why, shown under the text; empty when nothing.
    std::string cause;

    static ProcedureOutcome completed() { return {Kind::Completed, {}, {}}; }
    static ProcedureOutcome failed(std::string shown, std::string why = {}) {
        return {Kind::Failed, std::move(shown), std::move(why)};
    }
    static ProcedureOutcome aborted() { return {Kind::Aborted, {}, {}}; }

    bool isCompleted() const { return kind == Kind::Completed; }
    bool operator==(const ProcedureOutcome&) const = default;
};

// For test failures: "completed", "failed: <text> (<cause>)", "aborted".
inline std::ostream& operator<<(std::ostream& os, const ProcedureOutcome& outcome) {
    switch (outcome.kind) {
        case ProcedureOutcome::Kind::Completed:
            return os << "completed";
        case ProcedureOutcome::Kind::Failed:
            os << "failed: " << outcome.message;
            return outcome.cause.empty() ? os : os << " (" << outcome.cause << ")";
        case ProcedureOutcome::Kind::Aborted:
            return os << "aborted";
    }
    return os;
}

}  // namespace pxr9
