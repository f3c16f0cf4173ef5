#include "sim/sim_device.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

#include "protocol/crc32.h"
#include "protocol/seven_bit.h"
#include "sim/device_replies.h"
#include "sim/flash_contents.h"

namespace pxr9::sim {

namespace {

constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint32_t kMaxTransferLength = 16383;  // a two-byte seven-bit length field
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// Virtual time saturates instead of wrapping, so an answer never leaves before it arrived.
std::uint64_t addSat(std::uint64_t a, std::uint64_t b) {
    return a > kMax - b ? kMax : a + b;
}
std::uint64_t mulSat(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > kMax / b ? kMax : a * b;
}
std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) {
    return a / b + (a % b != 0);
}

bool fitsFlash(std::uint64_t address, std::uint64_t length) {
    return length > 0 && address < kFlashSize && length <= kFlashSize - address;
}

}  // namespace

SimDevice::SimDevice(SimConfig config)
    : config_(config), flash_(makeInitialFlash(config_)), scratch_(kMaxTransferLength) {
    if ((config_.identity & 0x80808080u) != 0) {
        throw std::invalid_argument("identity bytes must be below 0x80");
    }
    if (config_.refusalStatus == 0 || config_.refusalStatus > 0x7F) {
        throw std::invalid_argument("refusal status must be 1..0x7F");
    }
}

std::vector<OutgoingMessage> SimDevice::receive(const std::uint8_t* bytes, std::size_t size,
                                                std::uint64_t nowMs) {
    if (bytes == nullptr) size = 0;
    return receive(std::span<const std::uint8_t>(bytes, size), nowMs);
}

std::vector<OutgoingMessage> SimDevice::receive(std::span<const std::uint8_t> message,
                                                std::uint64_t nowMs) {
    const std::optional<Request> request = decodeRequest(message);
    if (!request) {
        ++counts_.ignored;
        return {};
    }
    const std::uint64_t occurrence = ++counts_.byKind[static_cast<std::size_t>(request->kind)];
    if (silent_) return {};

    const std::optional<Fault> fault = faults_.faultFor(request->kind, occurrence);
    const Fault* f = fault ? &*fault : nullptr;
    if (f && f->type == FaultType::Silent) {
        silent_ = true;
        return {};
    }
    if (f && f->type == FaultType::NoAnswer) return {};

    Outcome outcome = (f && f->type == FaultType::Refuse)
                          ? Outcome{makeStatus(modelId(), static_cast<std::uint8_t>(f->value))}
                          : serve(*request, f);

    const std::uint64_t startUs = std::max(mulSat(nowMs, 1000), busyUntilUs_);
    std::uint64_t leaveUs = addSat(addSat(startUs, outcome.workUs), config_.timing.replyLatencyUs);
    if (f && f->type == FaultType::Late) leaveUs = addSat(leaveUs, mulSat(f->value, 1000));
    // A late answer keeps the device busy too, so answers never overtake one another.
    busyUntilUs_ = leaveUs;

    std::vector<OutgoingMessage> out;
    const std::uint64_t leaveMs = std::max(nowMs, ceilDiv(leaveUs, 1000));
    out.push_back({leaveMs, std::move(outcome.answer)});
    if (f && f->type == FaultType::Twice) out.push_back(out.front());
    if (f && f->type == FaultType::Stray) {
        const std::array<std::uint8_t, 4> zeros{};
        out.push_back({leaveMs, f->value == kStrayReadData
                                    ? makeReadData(modelId(), zeros)
                                    : makeStatus(modelId(), static_cast<std::uint8_t>(f->value))});
    }
    return out;
}

SimDevice::Outcome SimDevice::serve(const Request& request, const Fault* fault) {
    if (!request.wellFormed) return refuse();
    switch (request.kind) {
        case RequestKind::IdentityRequest: {
            const bool other = fault && fault->type == FaultType::Identity;
            return {makeIdentityReply(other ? fault->value : config_.identity)};
        }
        case RequestKind::UpdateStart:
        case RequestKind::UpdateEnd:
            return {makeStatus(modelId(), kStatusOk)};
        case RequestKind::FlashErase:
            return erase(request);
        case RequestKind::WriteBlock:
            return write(request);
        case RequestKind::MemoryRead:
            return read(request, fault);
    }
    return refuse();
}

SimDevice::Outcome SimDevice::refuse() const {
    return {makeStatus(modelId(), config_.refusalStatus)};
}

SimDevice::Outcome SimDevice::erase(const Request& request) {
    if (!fitsFlash(request.address, request.length)) return refuse();
    const auto begin = flash_.begin() + static_cast<std::ptrdiff_t>(request.address);
    std::fill(begin, begin + static_cast<std::ptrdiff_t>(request.length), 0xFF);
    const std::uint64_t workNs = mulSat(request.length, config_.timing.eraseNsPerByte);
    return {makeStatus(modelId(), kStatusOk), ceilDiv(workNs, 1000)};
}

SimDevice::Outcome SimDevice::write(const Request& request) {
    if (!fitsFlash(request.address, request.length)) return refuse();
    // The decoder has checked that the packed data are exactly packedLength(length) long.
    const auto n = static_cast<std::size_t>(request.length);  // at most 16,383
    unpackSevenBit(request.packed.data(), n, scratch_.data());
    if (sysexCrc32(scratch_.data(), n) != request.crc) return refuse();
    std::uint8_t* target = flash_.data() + request.address;
    for (std::size_t i = 0; i < n; ++i) {
        target[i] = config_.programClearsBitsOnly ? target[i] & scratch_[i] : scratch_[i];
    }
    return {makeStatus(modelId(), kStatusOk), config_.timing.writeBlockUs};
}

SimDevice::Outcome SimDevice::read(const Request& request, const Fault* fault) const {
    if (request.length > kMaxTransferLength) return refuse();
    if (request.length > 0 && !fitsFlash(request.address, request.length)) return refuse();
    if (request.length == 0 && request.address > kFlashSize) return refuse();
    ReadDataForm form;
    if (fault && fault->type == FaultType::BadCrc) form.corruptCrc = true;
    if (fault && fault->type == FaultType::WrongByte5)
        form.byte5 = static_cast<std::uint8_t>(fault->value);
    if (fault && fault->type == FaultType::WrongByte6)
        form.byte6 = static_cast<std::uint8_t>(fault->value);
    const auto data = std::span<const std::uint8_t>(flash_).subspan(
        std::min<std::size_t>(request.address, kFlashSize), request.length);
    return {makeReadData(modelId(), data, form)};
}

}  // namespace pxr9::sim
