// The resource location turned into a path: the conversion table, its
// edges, the allocation it makes and its failure.
#include <string>

#include "fmi2/resource_location.h"
#include "fmi_fixture.h"

namespace tarvo::testing {
namespace {

class ResourceLocation : public FmiTest {
protected:
    // The converted path, with every byte up to its terminator (a decoded
    // %00 stays in the string); "(null)" for no path.
    std::string convert(const char* location) {
        char* path = fmi2::convertResourceLocation(&host.callbacks, location);
        if (path == nullptr) {
            return "(null)";
        }
        const size_t allocated = allocationLedger().calls().back().count;
        std::string bytes(path, allocated);
        bytes.resize(bytes.find_last_not_of('\0') + 1);
        countingFree(path);
        return bytes;
    }
};

TEST_F(ResourceLocation, ConvertsEveryFormOfLocation) {
    const struct {
        const char* location;
        const char* path;
    } table[] = {
        {"file:///D:/Models/res", "D:\\Models\\res\\"},
        {"file:///D:/Models/res/", "D:\\Models\\res\\"},
        {"file:/D:/a%20b", "D:\\a b\\"},
        {"file://server/share/res", "\\\\server\\share\\res\\"},
        {"file:///home/res", "\\home\\res\\"},
        {"file:/dir", "\\dir\\"},
        {"D:/dir", "D:\\dir\\"},
        {"file:///D:", "D:\\"},
        {"file:///", "\\"},
        {"file:/", "\\"},
        {"file://", "\\\\"},
        {"file:", "file:\\"},
        {"a%2Fb", "a\\b\\"},
        {"a%2f", "a\\"},
        {"x%zz%4", "x%zz%4\\"},
        {"%41%4", "A%4\\"},
        {"%G1", "%G1\\"},
        {"%", "%\\"},
        {"a%4%41", "a%4A\\"},
        {"FILE:///D:/x", "FILE:\\\\\\D:\\x\\"},
        {"File:/x", "File:\\x\\"},
        {"\\already\\", "\\already\\"},
    };
    for (const auto& row : table) {
        EXPECT_EQ(convert(row.location), row.path) << row.location;
    }
}

TEST_F(ResourceLocation, NoPathForNothingToConvert) {
    EXPECT_EQ(convert(nullptr), "(null)");
    EXPECT_EQ(convert(""), "(null)");
    EXPECT_EQ(fmi2::convertResourceLocation(nullptr, "file:///D:/x"), nullptr);
    EXPECT_EQ(allocationLedger().allocationCount(), 0);
}

TEST_F(ResourceLocation, DecodedZeroStaysAndTheLastByteDecidesTheBackslash) {
    // "a%00b" decodes to a, zero, b; the final backslash follows the b.
    EXPECT_EQ(convert("a%00b"), std::string("a\0b\\", 4));
    // An encoded trailing slash counts as a trailing slash.
    EXPECT_EQ(convert("a%00%2F"), std::string("a\0\\", 3));
}

TEST_F(ResourceLocation, HighBytesAreCopiedAndNeverTakenForDigits) {
    EXPECT_EQ(convert("%\xe9\xe9/\xff"), "%\xe9\xe9\\\xff\\");
    EXPECT_EQ(convert("%4\xb9"), "%4\xb9\\");
}

TEST_F(ResourceLocation, FailedAllocationGivesNoPath) {
    allocationLedger().failAllocation(1);
    EXPECT_EQ(convert("file:///D:/x"), "(null)");
    EXPECT_EQ(allocationLedger().outstanding(), 0u);
}

TEST_F(ResourceLocation, MissingAllocatorGivesNoPath) {
    const fmi2CallbackFunctions noAllocator{&recordingLogger, nullptr, &countingFree, nullptr,
                                            &host.log};
    EXPECT_EQ(fmi2::convertResourceLocation(&noAllocator, "D:/x"), nullptr);
}

}  // namespace
}  // namespace tarvo::testing
