// The model's state as bytes that may leave the process: saved by one build
// on one machine, read back by another. The bytes say what they are before
// anything of them is trusted:
//
//   offset  size  field
//        0     8  magic "TarvoSt\0"
//        8     4  format version (1)
//       12     4  byte order mark 0x01020304, written in the order below
//       16     8  length of the whole string of bytes
//       24    40  the model's GUID, zero-padded
//       64    32  startTime, stopTime, stepSize, currentTime: the bits of
//                 each double
//       96    16  stopTimeDefined, parametersChanged, evaluationCount and
//                 the number of model values: 32-bit integers
//      112  1976  the 247 model values, the bits of each double
//     2088     4  CRC-32 of every byte before it
//
// Every number is little-endian, whatever the machine, so a state saved on
// one platform restores to the same bits on any other.
#ifndef TARVO_RUNTIME_STATE_BYTES_H
#define TARVO_RUNTIME_STATE_BYTES_H

#include <cstddef>
#include <cstdint>

#include "runtime/model.h"

namespace tarvo::runtime {

constexpr uint32_t kStateBytesVersion = 1;
constexpr size_t kStateBytesSize = 64 + 4 * 8 + 4 * 4 + kValueCount * 8 + 4;

static_assert(kStateBytesSize == 2092, "the layout above");

void writeStateBytes(const ModelState& state, uint8_t (&bytes)[kStateBytesSize]);

// Why bytes are not a state of this model, if they are not.
enum class StateBytesCheck {
    ok,
    wrongLength,     // shorter or longer than a state, or not the length it declares
    notAState,       // no magic at the start
    otherVersion,    // a format version this build cannot read
    otherByteOrder,  // a byte order mark this build does not write
    otherModel,      // the state of another model, or of another GUID
    damaged,         // the checksum does not match
    badValue,        // a flag or count that no state holds
};

// Reads a state from size bytes; state is written only when the check is ok.
StateBytesCheck readStateBytes(const uint8_t* bytes, size_t size, ModelState& state);

}  // namespace tarvo::runtime

#endif  // TARVO_RUNTIME_STATE_BYTES_H
