// Writes the seed corpora of the fuzz targets, built from the real messages of both sides:
//   make_seeds <folder>  ->  <folder>/fuzz_device_input, fuzz_unpack_crc, fuzz_sim_parser

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/messages.h"
#include "sim/device_replies.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr std::uint8_t kModel = 0x6E;
constexpr std::uint8_t kDispatch = 0x80;   // device input: run the dispatcher after the record
constexpr std::uint8_t kResetRead = 0x40;  // device input: reset the ReadBuffer first

Bytes built(std::size_t length, const std::uint8_t* data) {
    return Bytes(data, data + length);
}

struct Messages {
    Bytes status0, status11, identityReply, readData110, readDataEmpty;
    Bytes identityRequest, updateStart, updateEnd, flashErase, memoryRead, writeBlock;
};

Messages makeMessages() {
    Messages m;
    m.status0 = pxr9::sim::makeStatus(kModel, 0x00);
    m.status11 = pxr9::sim::makeStatus(kModel, 0x0B);
    m.identityReply = pxr9::sim::makeIdentityReply(0x0010006E);
    const Bytes text110 = {0x31, 0x2E, 0x31, 0x30};
    m.readData110 = pxr9::sim::makeReadData(kModel, text110);
    m.readDataEmpty = pxr9::sim::makeReadData(kModel, {});

    Bytes out(pxr9::kSendBufferSize);
    m.identityRequest = Bytes(pxr9::kIdentityRequest.begin(), pxr9::kIdentityRequest.end());
    m.updateStart = built(pxr9::buildUpdateStart(kModel, out), out.data());
    m.updateEnd = built(pxr9::buildUpdateEnd(kModel, out), out.data());
    m.flashErase = built(pxr9::buildFlashErase(kModel, 0x110000, 4096, out), out.data());
    m.memoryRead = built(pxr9::buildMemoryRead(pxr9::kMemoryReadTemplate, kModel, 0x070FFC, 4, out),
                         out.data());
    Bytes block(4096);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 37 + (i >> 8));  // every bit 7 pattern
    }
    m.writeBlock =
        built(pxr9::buildWriteBlock(kModel, block.data(), 0x04B000, 4096, out), out.data());
    return m;
}

void write(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        std::exit(1);
    }
}

// One return of the receive buffer in the device-input record format.
void addReturn(Bytes& seed, std::uint8_t control, const Bytes& bytes) {
    seed.push_back(control);
    seed.push_back(static_cast<std::uint8_t>(bytes.size() & 0xFF));
    seed.push_back(static_cast<std::uint8_t>(bytes.size() >> 8));
    seed.insert(seed.end(), bytes.begin(), bytes.end());
}

Bytes oneReturn(const Bytes& message) {
    Bytes seed;
    addReturn(seed, kDispatch, message);
    return seed;
}

Bytes joined(const Bytes& a, const Bytes& b) {
    Bytes j = a;
    j.insert(j.end(), b.begin(), b.end());
    return j;
}

void writeDeviceInput(const fs::path& dir, const Messages& m) {
    write(dir / "status", oneReturn(m.status0));
    write(dir / "status_11", oneReturn(m.status11));
    write(dir / "identity_reply", oneReturn(m.identityReply));
    write(dir / "read_data_1.10", oneReturn(m.readData110));
    write(dir / "read_data_empty", oneReturn(m.readDataEmpty));
    // Messages the device is not expected to send, which the host answers by itself.
    write(dir / "identity_request", oneReturn(m.identityRequest));
    write(dir / "flash_erase", oneReturn(m.flashErase));
    write(dir / "write_block_4096", oneReturn(m.writeBlock));

    // A version check's replies in one go, each read after a reset of the ReadBuffer.
    Bytes session;
    addReturn(session, kDispatch, m.identityReply);
    for (int i = 0; i < 3; ++i) addReturn(session, kDispatch | kResetRead, m.readData110);
    write(dir / "version_check", session);

    // Two replies recorded into one return, and one reply cut across two returns.
    write(dir / "joined", oneReturn(joined(m.status0, m.identityReply)));
    Bytes split;
    const Bytes head(m.readData110.begin(), m.readData110.begin() + 9);
    const Bytes tail(m.readData110.begin() + 9, m.readData110.end());
    addReturn(split, 0, head);
    addReturn(split, kDispatch, tail);
    write(dir / "split", split);
    // Two Read Data before one dispatch: the second lands after the first.
    Bytes twoReads;
    addReturn(twoReads, kResetRead, m.readData110);
    addReturn(twoReads, kDispatch, m.readData110);
    write(dir / "two_reads", twoReads);
    // A full buffer without F7.
    Bytes full(8192, 0x55);
    full[0] = 0xF0;
    full[1] = 0x52;
    full[4] = 0x60;
    full[5] = 0x04;
    full[6] = 0x30;
    write(dir / "full_buffer", oneReturn(full));
}

// The tail of a message from its length field on: n, packed data, CRC field.
Bytes fromLengthField(const Bytes& message, std::size_t lengthAt) {
    return Bytes(message.begin() + static_cast<std::ptrdiff_t>(lengthAt), message.end() - 1);
}

void writeUnpackCrc(const fs::path& dir, const Messages& m) {
    write(dir / "read_data_1.10", fromLengthField(m.readData110, 9));
    write(dir / "read_data_empty", fromLengthField(m.readDataEmpty, 9));
    write(dir / "write_block_4096", fromLengthField(m.writeBlock, 10));
    // "abc" and its CRC 0xCADBBE3D; eight bytes with top bits set, CRC 0x32A96E8E.
    write(dir / "abc", {0x03, 0x00, 0x00, 0x61, 0x62, 0x63, 0x3D, 0x7C, 0x6E, 0x56, 0x0C});
    write(dir / "top_bits", {0x08, 0x00, 0x51, 0x00, 0x01, 0x7F, 0x00, 0x00, 0x00, 0x01, 0x40, 0x40,
                             0x0E, 0x5D, 0x25, 0x15, 0x03});
}

void writeSimParser(const fs::path& dir, const Messages& m) {
    write(dir / "identity_request", m.identityRequest);
    write(dir / "update_start", m.updateStart);
    write(dir / "update_end", m.updateEnd);
    write(dir / "flash_erase", m.flashErase);
    write(dir / "memory_read", m.memoryRead);
    write(dir / "write_block_4096", m.writeBlock);
    // Messages only the host sends back, which the device ignores.
    write(dir / "status", m.status0);
    write(dir / "read_data_1.10", m.readData110);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const Messages m = makeMessages();
    const std::pair<const char*, void (*)(const fs::path&, const Messages&)> targets[] = {
        {"fuzz_device_input", writeDeviceInput},
        {"fuzz_unpack_crc", writeUnpackCrc},
        {"fuzz_sim_parser", writeSimParser},
    };
    for (const auto& [name, writeSeeds] : targets) {
        fs::create_directories(root / name);
        writeSeeds(root / name, m);
    }
    return 0;
}
