// The text form of doubles decides whether a trace equals its expected file,
// so it must match Python's float.hex to the character and read back to the
// same bits.
#include "host/hex_float.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "ieee/double_bits.h"

namespace tarvo::host {
namespace {

using ieee::bitsOf;
using ieee::fromBits;

struct Written {
    double value;
    const char* text;
};

// Texts as Python's float.hex writes them.
constexpr Written kWritten[] = {
    {0.0, "0x0.0p+0"},
    {-0.0, "-0x0.0p+0"},
    {1.0, "0x1.0000000000000p+0"},
    {2500.0, "0x1.3880000000000p+11"},
    {-0.1, "-0x1.999999999999ap-4"},
    {3.141592653589793, "0x1.921fb54442d18p+1"},
    {DBL_MAX, "0x1.fffffffffffffp+1023"},
    {DBL_MIN, "0x1.0000000000000p-1022"},
    {DBL_TRUE_MIN, "0x0.0000000000001p-1022"},
    {-DBL_TRUE_MIN, "-0x0.0000000000001p-1022"},
    {DBL_MIN - DBL_TRUE_MIN, "0x0.fffffffffffffp-1022"},
    {std::numeric_limits<double>::infinity(), "inf"},
    {-std::numeric_limits<double>::infinity(), "-inf"},
};

TEST(HexFloat, WritesWhatPythonWrites) {
    for (const Written& written : kWritten) {
        EXPECT_EQ(formatHexFloat(written.value), written.text);
    }
    EXPECT_EQ(formatHexFloat(std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(formatHexFloat(-std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(formatHexFloat(fromBits(0x7ff0000000000001u)), "nan");  // signalling
}

TEST(HexFloat, ReadsBackTheSameBits) {
    for (const Written& written : kWritten) {
        double value = 1.0;
        ASSERT_TRUE(parseHexFloat(written.text, value)) << written.text;
        EXPECT_EQ(bitsOf(value), bitsOf(written.value)) << written.text;
    }
    double value = 0.0;
    ASSERT_TRUE(parseHexFloat("nan", value));
    EXPECT_TRUE(std::isnan(value));

    // Any bit pattern survives the round trip (NaNs aside).
    std::mt19937_64 random(20240611u);
    for (int i = 0; i < 20000; ++i) {
        const double original = fromBits(random());
        if (std::isnan(original)) {
            continue;
        }
        ASSERT_TRUE(parseHexFloat(formatHexFloat(original), value));
        ASSERT_EQ(bitsOf(value), bitsOf(original)) << formatHexFloat(original);
    }
}

TEST(HexFloat, ReadsShortFormsAndRejectsOthers) {
    double value = 0.0;
    ASSERT_TRUE(parseHexFloat("0x1.8p+1", value));
    EXPECT_EQ(value, 3.0);
    ASSERT_TRUE(parseHexFloat("-0x1p-3", value));
    EXPECT_EQ(value, -0.125);
    ASSERT_TRUE(parseHexFloat("0x1p-1074", value));
    EXPECT_EQ(value, DBL_TRUE_MIN);

    for (const char* text : {"", "1.5", "0x", "-", "0x1.8p+1x", " 0x1p0", "0x1p0 ", "infinity",
                             "NaN", "0x1p+1024", "--0x1p0"}) {
        value = 7.0;
        EXPECT_FALSE(parseHexFloat(text, value)) << '"' << text << '"';
        EXPECT_EQ(value, 7.0) << "left untouched on failure";
    }
}

}  // namespace
}  // namespace tarvo::host
