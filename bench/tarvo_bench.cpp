// Benchmark of the main loop on the default workload, as a host runs it:
// instantiate, set up without stop time, initialise, inputs channelA.input
// = 1.0 and channelB.input = -0.5, then fmi2DoStep(k * 0.001, 0.001) for
// k = 0 .. N - 1 (N = 1000 by default: one unit of model time, 10^6
// internal steps).
//
//   tarvo_bench [--steps N] [--repeats R] [--instances I] [--other-cos-sin]
//               LIBRARY [REFERENCE_LIBRARY]
//
// Each library is timed R times, alternately when there are two, and the
// fastest run counts. Per library it prints ns per internal step (the
// fastest and the median run), the real-time factor (model time over wall
// time) and a 64-bit FNV-1a hash of the bytes of the 247 final values; with
// a reference library also the ratio of the two fastest times and, run
// against run, the ratios of the R alternating pairs (reference time over
// the library's in the same pair): their median and range. On a shared
// machine the median of the pairs is the figure to quote: each pair sees
// about the same load. With I instances, each communication step is
// taken on every instance in turn, as a host of I units does; the time is
// then per internal step of one instance (the real-time factor that of one
// instance's share of the time), and all instances must end with
// the same values. Exit status 1 when the hashes differ, 2 on a usage or
// loading error. With --other-cos-sin the reference runs on other cos and
// sin (the portable build against the default one), so its hash may differ.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/callbacks.h"
#include "host/unit_calls.h"
#include "host/unit_library.h"
#include "runtime/model.h"

namespace host = tarvo::host;

namespace {

constexpr double kCommunicationStep = 0.001;
constexpr double kInternalStep = 1e-6;

struct RunResult {
    double seconds = 0.0;
    uint64_t hash = 0;
    bool ok = false;
};

// The internal steps the unit makes for n communication steps: its clock
// advances by the internal step, the last step of each communication step
// shortened to what is left.
long countInternalSteps(int communicationSteps) {
    long count = 0;
    double time = 0.0;
    for (int k = 0; k < communicationSteps; ++k) {
        const double end = k * kCommunicationStep + kCommunicationStep;
        while (end > time) {
            const double h = end - time < kInternalStep ? end - time : kInternalStep;
            time = time + h;
            ++count;
        }
    }
    return count;
}

}  // namespace

// The timed loop, kept out of line under a plain name so that callgrind can
// count it alone (--toggle-collect=tarvo_bench_step_loop).
extern "C" __attribute__((noinline)) int tarvo_bench_step_loop(const host::Fmi2Api* unit,
                                                               const fmi2Component* instances,
                                                               int instanceCount, int steps) {
    for (int k = 0; k < steps; ++k) {
        for (int i = 0; i < instanceCount; ++i) {
            if (unit->fmi2DoStep(instances[i], k * kCommunicationStep, kCommunicationStep,
                                 fmi2True) != fmi2OK) {
                return 0;
            }
        }
    }
    return 1;
}

namespace {

constexpr int kMaxInstances = 64;

// 64-bit FNV-1a over the bytes of the values as they lie in memory.
uint64_t hashValues(const host::ModelValues& values) {
    uint64_t hash = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
    for (std::size_t i = 0; i < values.size() * sizeof(double); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

RunResult runWorkload(const host::Fmi2Api& unit, int steps, int instanceCount) {
    RunResult result;
    fmi2Component instances[kMaxInstances] = {};
    bool ok = true;
    for (int i = 0; i < instanceCount && ok; ++i) {
        fmi2Component c = host::instantiate(unit, "bench", host::quietCallbacks());
        instances[i] = c;
        ok = c != nullptr &&
             unit.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2False, 0.0) == fmi2OK &&
             unit.fmi2EnterInitializationMode(c) == fmi2OK &&
             unit.fmi2ExitInitializationMode(c) == fmi2OK &&
             host::setReal(unit, c, host::kInputA, 1.0) == fmi2OK &&
             host::setReal(unit, c, host::kInputB, -0.5) == fmi2OK;
    }
    const auto start = std::chrono::steady_clock::now();
    ok = ok && tarvo_bench_step_loop(&unit, instances, instanceCount, steps) != 0;
    const auto stop = std::chrono::steady_clock::now();
    for (int i = 0; i < instanceCount; ++i) {
        host::ModelValues values;
        ok = ok && instances[i] != nullptr &&
             host::readAllValues(unit, instances[i], values) == fmi2OK;
        const uint64_t hash = ok ? hashValues(values) : 0;
        ok = ok && (i == 0 || hash == result.hash);
        result.hash = hash;
        if (instances[i] != nullptr) {
            unit.fmi2FreeInstance(instances[i]);
        }
    }
    result.seconds = std::chrono::duration<double>(stop - start).count() / instanceCount;
    result.ok = ok;
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void report(const char* label, const char* path, const RunResult& best, double medianSeconds,
            long internalSteps, int steps) {
    const double modelTime = steps * kCommunicationStep;
    const double perStep = 1e9 / static_cast<double>(internalSteps);
    std::printf("%-9s %8.1f ns/step (median %.1f)  real-time factor %8.3f  hash %016llx  (%s)\n",
                label, best.seconds * perStep, medianSeconds * perStep, modelTime / best.seconds,
                static_cast<unsigned long long>(best.hash), path);
}

int usage() {
    std::fprintf(stderr,
                 "usage: tarvo_bench [--steps N] [--repeats R] [--instances I] "
                 "[--other-cos-sin] LIBRARY [REFERENCE_LIBRARY]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int steps = 1000;
    int repeats = 5;
    int instanceCount = 1;
    bool otherCosSin = false;
    const char* paths[2] = {nullptr, nullptr};
    int pathCount = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc) {
            steps = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--repeats") == 0 && i + 1 < argc) {
            repeats = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--instances") == 0 && i + 1 < argc) {
            instanceCount = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--other-cos-sin") == 0) {
            otherCosSin = true;
        } else if (argv[i][0] != '-' && pathCount < 2) {
            paths[pathCount++] = argv[i];
        } else {
            return usage();
        }
    }
    if (pathCount == 0 || steps < 1 || repeats < 1 || instanceCount < 1 ||
        instanceCount > kMaxInstances) {
        return usage();
    }

    host::UnitLibrary units[2];
    for (int u = 0; u < pathCount; ++u) {
        if (!units[u].load(paths[u])) {
            std::fprintf(stderr, "%s\n", units[u].error().c_str());
            return 2;
        }
    }
    RunResult best[2];
    std::vector<double> seconds[2];
    std::vector<double> pairRatios;
    for (int r = 0; r < repeats; ++r) {
        for (int u = 0; u < pathCount; ++u) {
            const RunResult run = runWorkload(units[u].fmi2(), steps, instanceCount);
            if (!run.ok) {
                std::fprintf(stderr, "the workload failed on %s\n", paths[u]);
                return 2;
            }
            if (r == 0 || run.seconds < best[u].seconds) {
                best[u] = run;
            }
            seconds[u].push_back(run.seconds);
        }
        if (pathCount == 2) {
            pairRatios.push_back(seconds[1].back() / seconds[0].back());
        }
    }

    const long internalSteps = countInternalSteps(steps);
    std::printf(
        "workload: %d communication steps of %g, %ld internal steps, %d instance%s, "
        "best of %d runs\n",
        steps, kCommunicationStep, internalSteps, instanceCount, instanceCount == 1 ? "" : "s",
        repeats);
    std::printf("model: %zu bytes, of which the state a snapshot keeps %zu\n",
                sizeof(tarvo::runtime::Model), sizeof(tarvo::runtime::ModelState));
    report(pathCount == 2 ? "fast" : "library", paths[0], best[0], median(seconds[0]),
           internalSteps, steps);
    if (pathCount == 2) {
        report("reference", paths[1], best[1], median(seconds[1]), internalSteps, steps);
        std::printf("ratio     %.2fx faster than the reference (fastest runs)\n",
                    best[1].seconds / best[0].seconds);
        std::printf("pairs     median ratio %.2f, from %.2f to %.2f over %d alternating pairs\n",
                    median(pairRatios), *std::min_element(pairRatios.begin(), pairRatios.end()),
                    *std::max_element(pairRatios.begin(), pairRatios.end()), repeats);
        if (best[0].hash != best[1].hash) {
            std::printf("hash      %s\n",
                        otherCosSin ? "different (other cos and sin)" : "DIFFERENT");
            return otherCosSin ? 0 : 1;
        }
        std::printf("hash      same\n");
    }
    return 0;
}
