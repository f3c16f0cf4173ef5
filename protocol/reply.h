#pragma once

#include <cstdint>
#include <ostream>

namespace pxr9 {

// What ended a worker's wait for the answer to its request: the device's answer as the
// dispatcher handed it over, or why no answer came. Each request ends in exactly one.
class Reply {
  public:
    enum class Kind : std::uint8_t {
        Status,    // a Status message, or the Write Block command's acknowledgement (status 0)
        Identity,  // an Identity Reply, with its identity word
        ReadData,  // a Read Data reply; when accepted, its bytes are in the read buffer
        Timeout,   // nothing came within the wait
        Silent,    // an answer was still owed and the device did not answer the barrier either
        NotSent,   // the request did not leave (only the Identity Request's send is examined)
        Abort,     // the front end is going away
        DeviceGone,
    };

    static constexpr Reply status(std::uint8_t code) { return {Kind::Status, code}; }
    static constexpr Reply identity(std::uint32_t word) { return {Kind::Identity, word}; }
    static constexpr Reply readData(bool accepted) { return {Kind::ReadData, accepted ? 1u : 0u}; }
    static constexpr Reply timeout() { return {Kind::Timeout, 0}; }
    static constexpr Reply silent() { return {Kind::Silent, 0}; }
    // `deviceGone`: the send failed because the device went away.
    static constexpr Reply notSent(bool deviceGone) {
        return {Kind::NotSent, deviceGone ? 1u : 0u};
    }
    static constexpr Reply abort() { return {Kind::Abort, 0}; }
    static constexpr Reply deviceGone() { return {Kind::DeviceGone, 0}; }

    constexpr Kind kind() const { return kind_; }
    // The device answered: a status, an identity or read data.
    constexpr bool isAnswer() const {
        return kind_ == Kind::Status || kind_ == Kind::Identity || kind_ == Kind::ReadData;
    }
    // An answer that says yes: status 0, an identity, or read data that was accepted.
    constexpr bool isAccepted() const {
        switch (kind_) {
            case Kind::Status:
                return value_ == 0;
            case Kind::Identity:
                return true;
            case Kind::ReadData:
                return value_ != 0;
            default:
                return false;
        }
    }
    // Status only.
    constexpr std::uint8_t statusCode() const { return static_cast<std::uint8_t>(value_); }
    // Identity only.
    constexpr std::uint32_t identityWord() const { return value_; }
    // NotSent only.
    constexpr bool sendFoundDeviceGone() const { return value_ != 0; }

    constexpr bool operator==(const Reply&) const = default;

  private:
    constexpr Reply(Kind kind, std::uint32_t value) : kind_(kind), value_(value) {}

    Kind kind_;
    std::uint32_t value_;
};

// For test failures: "status 11", "identity 0x0010006e", "read data accepted", "timeout", ...
std::ostream& operator<<(std::ostream& os, const Reply& reply);

}  // namespace pxr9
