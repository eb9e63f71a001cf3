#include "ieee/ieee_arithmetic.h"

#include "runtime/state_bytes.h"

#include <cstring>

#include "ieee/double_bits.h"
#include "runtime/model_identity.h"

namespace tarvo::runtime {

namespace {

constexpr char kMagic[8] = {'T', 'a', 'r', 'v', 'o', 'S', 't', '\0'};
constexpr uint32_t kByteOrderMark = 0x01020304u;
constexpr size_t kGuidField = 40;

constexpr size_t kVersionAt = 8;
constexpr size_t kByteOrderAt = 12;
constexpr size_t kLengthAt = 16;
constexpr size_t kGuidAt = 24;
constexpr size_t kTimesAt = kGuidAt + kGuidField;
constexpr size_t kCountsAt = kTimesAt + 4 * 8;
constexpr size_t kValuesAt = kCountsAt + 4 * 4;
constexpr size_t kChecksumAt = kValuesAt + kValueCount * 8;

static_assert(sizeof(kModelGuid) <= kGuidField, "the GUID and its zero fit its field");
static_assert(kChecksumAt + 4 == kStateBytesSize, "the fields fill the bytes");

// CRC-32 of IEEE 802.3 (reflected, polynomial 0xEDB88320), the checksum of
// PNG and zip: every burst of up to 32 flipped bits is found.
struct CrcTable {
    uint32_t entries[256];
};

constexpr CrcTable makeCrcTable() {
    CrcTable table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table.entries[n] = c;
    }
    return table;
}

constexpr CrcTable kCrcTable = makeCrcTable();

uint32_t crc32(const uint8_t* bytes, size_t size) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        c = kCrcTable.entries[(c ^ bytes[i]) & 0xFFu] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void put64(uint8_t* at, uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t get32(const uint8_t* at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(at[i]) << (8 * i);
    }
    return value;
}

uint64_t get64(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        value |= static_cast<uint64_t>(at[i]) << (8 * i);
    }
    return value;
}

uint32_t bitsOfInt(int32_t value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

int32_t intOfBits(uint32_t bits) {
    int32_t value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

void writeStateBytes(const ModelState& state, uint8_t (&bytes)[kStateBytesSize]) {
    std::memset(bytes, 0, sizeof bytes);
    std::memcpy(bytes, kMagic, sizeof kMagic);
    put32(bytes + kVersionAt, kStateBytesVersion);
    put32(bytes + kByteOrderAt, kByteOrderMark);
    put64(bytes + kLengthAt, kStateBytesSize);
    std::memcpy(bytes + kGuidAt, kModelGuid, sizeof kModelGuid);
    const double times[4] = {state.startTime, state.stopTime, state.stepSize, state.currentTime};
    for (size_t i = 0; i < 4; ++i) {
        put64(bytes + kTimesAt + 8 * i, ieee::bitsOf(times[i]));
    }
    put32(bytes + kCountsAt, bitsOfInt(state.stopTimeDefined));
    put32(bytes + kCountsAt + 4, bitsOfInt(state.parametersChanged));
    put32(bytes + kCountsAt + 8, bitsOfInt(state.evaluationCount));
    put32(bytes + kCountsAt + 12, kValueCount);
    for (size_t i = 0; i < kValueCount; ++i) {
        put64(bytes + kValuesAt + 8 * i, ieee::bitsOf(state.values[i]));
    }
    put32(bytes + kChecksumAt, crc32(bytes, kChecksumAt));
}

StateBytesCheck readStateBytes(const uint8_t* bytes, size_t size, ModelState& state) {
    if (bytes == nullptr || size != kStateBytesSize) {
        // Also what a truncated state or one of another format's size gives.
        return size >= sizeof kMagic && bytes != nullptr &&
                       std::memcmp(bytes, kMagic, sizeof kMagic) != 0
                   ? StateBytesCheck::notAState
                   : StateBytesCheck::wrongLength;
    }
    if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
        return StateBytesCheck::notAState;
    }
    if (get32(bytes + kVersionAt) != kStateBytesVersion) {
        return StateBytesCheck::otherVersion;
    }
    if (get32(bytes + kByteOrderAt) != kByteOrderMark) {
        return StateBytesCheck::otherByteOrder;
    }
    if (get64(bytes + kLengthAt) != kStateBytesSize) {
        return StateBytesCheck::wrongLength;
    }
    if (get32(bytes + kChecksumAt) != crc32(bytes, kChecksumAt)) {
        return StateBytesCheck::damaged;
    }
    char guid[kGuidField] = {};
    std::memcpy(guid, kModelGuid, sizeof kModelGuid);
    if (std::memcmp(bytes + kGuidAt, guid, kGuidField) != 0) {
        return StateBytesCheck::otherModel;
    }
    const int32_t stopTimeDefined = intOfBits(get32(bytes + kCountsAt));
    const int32_t parametersChanged = intOfBits(get32(bytes + kCountsAt + 4));
    if ((stopTimeDefined != 0 && stopTimeDefined != 1) ||
        (parametersChanged != 0 && parametersChanged != 1) ||
        get32(bytes + kCountsAt + 12) != kValueCount) {
        return StateBytesCheck::badValue;
    }
    ModelState read{};
    read.startTime = ieee::fromBits(get64(bytes + kTimesAt));
    read.stopTime = ieee::fromBits(get64(bytes + kTimesAt + 8));
    read.stepSize = ieee::fromBits(get64(bytes + kTimesAt + 16));
    read.currentTime = ieee::fromBits(get64(bytes + kTimesAt + 24));
    read.stopTimeDefined = stopTimeDefined;
    read.parametersChanged = parametersChanged;
    read.evaluationCount = intOfBits(get32(bytes + kCountsAt + 8));
    for (size_t i = 0; i < kValueCount; ++i) {
        read.values[i] = ieee::fromBits(get64(bytes + kValuesAt + 8 * i));
    }
    state = read;
    return StateBytesCheck::ok;
}

}  // namespace tarvo::runtime
