#include "trace/cos_sin_variant.h"

#include <cstddef>

#include "matrix/scalar.h"
#include "trace/libm_fingerprint.h"

namespace tarvo::trace {
namespace {

constexpr VariantName kVariantNames[] = {
    {CosSinVariant::glibcFma, "fma", "", "glibc with FMA (x86-64 with FMA, aarch64)"},
    {CosSinVariant::glibcSse2, "sse2", "-sse2", "glibc without FMA"},
    {CosSinVariant::correctlyRounded, "cr", "-cr", "correctly rounded"},
};

}  // namespace

const VariantName* findVariant(CosSinVariant variant) {
    for (const VariantName& name : kVariantNames) {
        if (name.variant == variant) {
            return &name;
        }
    }
    return nullptr;
}

const VariantName* findVariantByOption(const std::string& option) {
    for (const VariantName& name : kVariantNames) {
        if (option == name.option) {
            return &name;
        }
    }
    return nullptr;
}

// The arguments go through a volatile so that the compiler cannot evaluate
// the calls itself.
CosSinVariant fingerprintCosSin() {
    bool matches[3] = {true, true, true};
    for (const FingerprintArgument& argument : kLibmFingerprint) {
        volatile double x = argument.x;
        const double cosine = matrix::cLibraryCos(x);
        const double sine = matrix::cLibrarySin(x);
        const CosSin known[3] = {argument.fma, argument.sse2, argument.cr};
        for (int k = 0; k < 3; ++k) {
            matches[k] = matches[k] && cosine == known[k].cosine && sine == known[k].sine;
        }
    }
    if (matches[0]) {
        return CosSinVariant::glibcFma;
    }
    if (matches[1]) {
        return CosSinVariant::glibcSse2;
    }
    return matches[2] ? CosSinVariant::correctlyRounded : CosSinVariant::unknown;
}

std::string expectedFilePath(const std::string& expectedDir, const std::string& scenarioPath,
                             const VariantName& variant) {
    std::string base = scenarioPath;
    const std::size_t slash = base.find_last_of('/');
    base = base.substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.size() > 5 && base.compare(base.size() - 5, 5, ".json") == 0) {
        base.resize(base.size() - 5);
    }
    return expectedDir + "/" + base + ".expected" + variant.fileSuffix + ".json";
}

}  // namespace tarvo::trace
