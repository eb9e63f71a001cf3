// Arbitrary bytes as a resource location. Each input is converted twice:
// once with a working allocator, once with one that fails. Checked: no
// access outside the input or the output (the sanitizers), the output byte
// for byte against a plain walk of the location, its final backslash at the
// end of the full output (a decoded %00 ends the string early for strlen,
// not for the path), and nothing left allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fmi2/resource_location.h"
#include "support/host_fixture.h"

namespace {

using tarvo::testing::allocationLedger;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "resource location: %s\n", what);
    std::abort();
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool hasPrefix(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The path the location should give, with every byte up to and including
// the final backslash (no terminator).
std::string expectedPath(const std::string& location) {
    size_t skip = 0;
    const auto colonAt = [&](size_t i) { return i < location.size() && location[i] == ':'; };
    if (hasPrefix(location, "file:///")) {
        skip = colonAt(9) ? 8 : 7;
    } else if (hasPrefix(location, "file://")) {
        skip = 5;
    } else if (hasPrefix(location, "file:/")) {
        skip = colonAt(7) ? 6 : 5;
    }
    std::string path;
    for (size_t i = skip; i < location.size(); ++i) {
        char c = location[i];
        if (c == '%' && i + 2 < location.size() && hexValue(location[i + 1]) >= 0 &&
            hexValue(location[i + 2]) >= 0) {
            c = static_cast<char>(hexValue(location[i + 1]) * 16 + hexValue(location[i + 2]));
            i += 2;
        }
        path += c == '/' ? '\\' : c;
    }
    if (path.back() != '\\') {
        path += '\\';
    }
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly the input and its terminator, so that reading one byte more
    // is caught.
    char* location = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(location, data, size);
    location[size] = '\0';
    const std::string text(location);  // up to the first zero, as the unit sees it

    static tarvo::testing::LogRecorder log;
    static const fmi2CallbackFunctions callbacks{&tarvo::testing::recordingLogger,
                                                 &tarvo::testing::countingAllocate,
                                                 &tarvo::testing::countingFree, nullptr, &log};
    tarvo::testing::AllocationLedger& ledger = allocationLedger();
    ledger.reset();

    char* path = tarvo::fmi2::convertResourceLocation(&callbacks, location);
    if (text.empty()) {
        if (path != nullptr || ledger.allocationCount() != 0) fail("empty location gave a path");
    } else {
        if (path == nullptr) fail("no path for a location");
        if (ledger.allocationCount() != 1) fail("more than one allocation");
        const tarvo::testing::AllocationCall& call = ledger.calls().front();
        const std::string expected = expectedPath(text);
        // The output block is exact (calloc of count * size): the sanitizer
        // sees every write beyond it.
        if (call.count * call.size < expected.size() + 1) fail("path block too small");
        if (std::memcmp(path, expected.data(), expected.size()) != 0) fail("wrong path");
        const size_t end = expected.size();
        if (path[end] != '\0') fail("path not terminated after its final backslash");
        if (path[end - 1] != '\\') fail("path does not end in a backslash");
        for (size_t i = 0; i < end; ++i) {
            if (path[i] == '/') fail("forward slash left in the path");
        }
        tarvo::testing::countingFree(path);
    }
    if (!log.empty()) fail("the conversion logged a message");

    // The same with the allocation failing: null, and nothing held.
    ledger.failAllAllocations(true);
    path = tarvo::fmi2::convertResourceLocation(&callbacks, location);
    if (path != nullptr) fail("a path without memory");
    ledger.failAllAllocations(false);
    if (ledger.outstanding() != 0 || ledger.unknownFrees() != 0) fail("memory left allocated");

    std::free(location);
    return 0;
}
