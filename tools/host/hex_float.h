// Doubles as text, bit for bit: the hexadecimal form Python's float.hex
// writes ("0x1.3880000000000p+11", "-0x0.0p+0", "0x0.0000000000001p-1022"),
// with "nan", "inf" and "-inf" for the non-finite values.
#ifndef TARVO_TOOLS_HOST_HEX_FLOAT_H
#define TARVO_TOOLS_HOST_HEX_FLOAT_H

#include <string>

namespace tarvo::host {

// Every NaN is written "nan"; the sign of zero is kept.
std::string formatHexFloat(double value);

// Reads "nan", "inf", "-inf" or a hexadecimal float with an optional sign
// ("0x1.8p+1", "-0x1p-3", "0x0.0000000000001p-1022"). Rejects anything else,
// including surrounding blanks, decimal numbers and values too large for a
// double.
bool parseHexFloat(const std::string& text, double& value);

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_HEX_FLOAT_H
