#include "tools/sim/sim_options.h"

#include <cstdint>
#include <functional>
#include <string_view>

#include "sim/fault_script_text.h"
#include "tools/common/number_text.h"
#include "tools/sim/stamp_text.h"

namespace pxr9::tools {

const char* const kSimUsage =
    "usage: pxr9-sim [options]\n"
    "Offers a simulated PXR-9 on a JACK MIDI input and output port, or on a rawmidi device.\n"
    "  --name TEXT              port name (default \"KEVO PXR-9\")\n"
    "  --instance N             copy number 1..20; N >= 2 appends \" (N)\" to the name\n"
    "  --instant                erase, write and answer without delay\n"
    "  --erase-ns-per-byte N    erase time per byte\n"
    "  --block-ms N             time to program one block\n"
    "  --reply-ms N             time from finished work to the answer\n"
    "  --fault TEXT             fault rules, e.g. write-block@5=refuse:2 (repeatable)\n"
    "  --boot-stamp XXXX        version stamps held at start (\\xHH for any byte)\n"
    "  --preset-stamp XXXX\n"
    "  --system-stamp XXXX\n"
    "  --identity WORD          identity word reported (each byte below 0x80)\n"
    "  --report FILE            JSON summary written on exit\n"
    "  --rawmidi DEVICE         serve this rawmidi device (hw:1,0 or /dev/snd/midiC1D0)\n"
    "                           instead of JACK ports\n";

namespace {

// Longest delay accepted: a day, as for late answers in fault rules.
constexpr std::uint64_t kMaxMs = 86'400'000;
constexpr std::uint64_t kMaxEraseNsPerByte = 1'000'000;

bool identityTravels(std::uint32_t word) {
    return (word & 0x80808080u) == 0;
}

}  // namespace

std::string SimToolOptions::portName() const {
    return instance >= 2 ? name + " (" + std::to_string(instance) + ")" : name;
}

SimArgs parseSimArgs(const std::vector<std::string>& args) {
    SimToolOptions options;
    auto fail = [](std::string error) { return SimArgs{std::nullopt, false, std::move(error)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") return SimArgs{std::nullopt, true, {}};
        if (option == "--instant") {
            options.config.timing = sim::TimingModel::instant();
            continue;
        }
        if (i + 1 >= args.size()) return fail(option + ": unknown option or missing value");
        const std::string& value = args[++i];
        auto number = [&](std::uint64_t max) { return parseNumber(value, max); };
        auto badValue = [&] { return fail(option + ": bad value \"" + value + "\""); };

        if (option == "--name") {
            if (value.empty()) return badValue();
            options.name = value;
        } else if (option == "--instance") {
            const auto n = number(kHighestInstance);
            if (!n || *n < 1) return badValue();
            options.instance = static_cast<int>(*n);
        } else if (option == "--erase-ns-per-byte") {
            const auto n = number(kMaxEraseNsPerByte);
            if (!n) return badValue();
            options.config.timing.eraseNsPerByte = *n;
        } else if (option == "--block-ms") {
            const auto n = number(kMaxMs);
            if (!n) return badValue();
            options.config.timing.writeBlockUs = *n * 1000;
        } else if (option == "--reply-ms") {
            const auto n = number(kMaxMs);
            if (!n) return badValue();
            options.config.timing.replyLatencyUs = *n * 1000;
        } else if (option == "--fault") {
            const sim::FaultScriptParse parsed = sim::parseFaultScript(value);
            if (!parsed.script) return fail(option + ": " + parsed.error);
            for (const sim::FaultRule& rule : parsed.script->rules()) options.faults.add(rule);
        } else if (option == "--boot-stamp" || option == "--preset-stamp" ||
                   option == "--system-stamp") {
            const auto stamp = parseStamp(value);
            if (!stamp)
                return fail(option + ": a stamp is exactly 4 characters (\\xHH for any byte)");
            sim::VersionStamp& target = option == "--boot-stamp"     ? options.config.stamps.boot
                                        : option == "--preset-stamp" ? options.config.stamps.preset
                                                                     : options.config.stamps.system;
            target = *stamp;
        } else if (option == "--identity") {
            const auto n = number(0xFFFFFFFF);
            if (!n || !identityTravels(static_cast<std::uint32_t>(*n))) {
                return fail(option + ": \"" + value +
                            "\" is no 32-bit word whose bytes are all below 0x80");
            }
            options.config.identity = static_cast<std::uint32_t>(*n);
        } else if (option == "--report") {
            if (value.empty()) return badValue();
            options.reportPath = value;
        } else if (option == "--rawmidi") {
            if (value.empty()) return badValue();
            options.rawmidi = value;
        } else {
            return fail(option + ": unknown option");
        }
    }
    return SimArgs{std::move(options), false, {}};
}

}  // namespace pxr9::tools
