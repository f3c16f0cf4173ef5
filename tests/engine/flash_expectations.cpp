#include "tests/engine/flash_expectations.h"

#include <cstdio>

#include "engine/product_profile.h"
#include "firmware/resources.h"
#include "protocol/seven_bit.h"
#include "sim/flash_contents.h"

namespace pxr9::testing {

namespace {

std::string hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", v);
    return text;
}

std::string mismatchAt(const char* what, std::uint32_t address, std::uint8_t expected,
                       std::uint8_t actual) {
    return std::string(what) + " at " + hex(address) + ": expected " + std::to_string(expected) +
           ", found " + std::to_string(actual);
}

std::string compareImage(std::span<const std::uint8_t> flash, std::uint32_t address,
                         std::uint32_t id) {
    const auto image = findResource(id);
    if (!image) return "image " + std::to_string(id) + " missing";
    for (std::size_t i = 0; i < image->size; ++i) {
        if (flash[address + i] != image->data[i]) {
            return mismatchAt("image", static_cast<std::uint32_t>(address + i), image->data[i],
                              flash[address + i]);
        }
    }
    return {};
}

std::string compareErased(std::span<const std::uint8_t> flash, std::uint32_t begin,
                          std::uint32_t end) {
    for (std::uint32_t a = begin; a < end; ++a) {
        if (flash[a] != 0xFF) return mismatchAt("erased flash", a, 0xFF, flash[a]);
    }
    return {};
}

}  // namespace

std::string firstChangeIn(std::span<const std::uint8_t> flash, const sim::SimConfig& config,
                          std::uint32_t begin, std::uint32_t end) {
    for (std::uint32_t a = begin; a < end; ++a) {
        const std::uint8_t expected = sim::initialFlashByte(config, a);
        if (flash[a] != expected) return mismatchAt("untouched flash", a, expected, flash[a]);
    }
    return {};
}

std::string firstFlashMismatch(std::span<const std::uint8_t> flash, const sim::SimConfig& config,
                               bool bootWritten) {
    std::string result = bootWritten ? compareImage(flash, 0x000000, kBootImageId)
                                     : firstChangeIn(flash, config, 0x000000, 0x04B000);
    if (result.empty()) result = compareImage(flash, 0x04B000, kPresetImageId);
    if (result.empty()) result = compareImage(flash, 0x071000, kSystemImageId);
    if (result.empty()) result = compareErased(flash, 0x071000 + 561488, 0x110000);
    if (result.empty()) result = compareImage(flash, 0x110000, kVersionBlockImageId);
    if (result.empty()) result = firstChangeIn(flash, config, 0x111000, 0x1CB000);
    if (result.empty()) result = compareImage(flash, 0x1CB000, kUpperImageId);
    return result;
}

std::vector<SentMessage> sentWithCommand(const std::vector<SentMessage>& sent,
                                         std::uint8_t command) {
    std::vector<SentMessage> result;
    for (const auto& m : sent) {
        if (m.bytes.size() > 4 && m.bytes[1] == 0x52 && m.bytes[4] == command) {
            result.push_back(m);
        }
    }
    return result;
}

sim::SimConfig oldBootDevice() {
    sim::SimConfig config;
    config.stamps.boot = sim::makeStamp("0.90");
    config.timing = sim::TimingModel::instant();
    return config;
}

bool isIdentityRequest(const std::vector<std::uint8_t>& m) {
    return m.size() == 6 && m[1] == 0x7E && m[3] == 0x06 && m[4] == 0x01;
}

Match command(std::uint8_t cmd) {
    return [cmd](const std::vector<std::uint8_t>& m) {
        return m.size() > 4 && m[1] == 0x52 && m[4] == cmd;
    };
}

std::uint32_t blockAddress(const SentMessage& m) {
    return readSevenBitField(&m.bytes[5], 5);
}

std::uint32_t blockLength(const SentMessage& m) {
    return readSevenBitField(&m.bytes[10], 2);
}

}  // namespace pxr9::testing
