#include "sim/fault_script.h"

namespace pxr9::sim {

FaultScript& FaultScript::add(FaultRule rule) {
    rules_.push_back(rule);
    return *this;
}

FaultScript& FaultScript::noAnswer(RequestKind kind, Occurrences when) {
    return add({kind, when, {FaultType::NoAnswer, 0}});
}

FaultScript& FaultScript::late(RequestKind kind, Occurrences when, std::uint32_t ms) {
    return add({kind, when, {FaultType::Late, ms}});
}

FaultScript& FaultScript::refuse(RequestKind kind, Occurrences when, std::uint8_t status) {
    return add({kind, when, {FaultType::Refuse, status}});
}

FaultScript& FaultScript::reportIdentity(Occurrences when, std::uint32_t identity) {
    return add({RequestKind::IdentityRequest, when, {FaultType::Identity, identity}});
}

FaultScript& FaultScript::badReadCrc(Occurrences when) {
    return add({RequestKind::MemoryRead, when, {FaultType::BadCrc, 0}});
}

FaultScript& FaultScript::wrongReadByte5(Occurrences when, std::uint8_t value) {
    return add({RequestKind::MemoryRead, when, {FaultType::WrongByte5, value}});
}

FaultScript& FaultScript::wrongReadByte6(Occurrences when, std::uint8_t value) {
    return add({RequestKind::MemoryRead, when, {FaultType::WrongByte6, value}});
}

FaultScript& FaultScript::silent(RequestKind kind, Occurrences when) {
    return add({kind, when, {FaultType::Silent, 0}});
}

FaultScript& FaultScript::twice(RequestKind kind, Occurrences when) {
    return add({kind, when, {FaultType::Twice, 0}});
}

FaultScript& FaultScript::stray(RequestKind kind, Occurrences when, std::uint32_t what) {
    return add({kind, when, {FaultType::Stray, what}});
}

std::optional<Fault> FaultScript::faultFor(RequestKind kind, std::uint64_t occurrence) const {
    for (const FaultRule& rule : rules_) {
        if (rule.kind == kind && rule.when.contains(occurrence)) return rule.fault;
    }
    return std::nullopt;
}

}  // namespace pxr9::sim
