#include "trace/replay.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <string>

#include "host/unit_library.h"
#include "trace/call_log.h"
#include "trace/replay_arguments.h"
#include "trace/replay_compare.h"
#include "trace/replay_report.h"
#include "trace/replayer.h"
#include "trace/trace_error.h"

namespace tarvo::trace {
namespace {

struct Options {
    std::string libraryPath;
    std::string logPath;
};

const char kUsage[] = "usage: trace --library Tarvo_Unit.so --replay CALLS.jsonl\n";

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if ((argument == "--library" || argument == "--replay") && i + 1 < argc) {
            (argument == "--library" ? options.libraryPath : options.logPath) = argv[++i];
        } else {
            throw TraceError("unexpected argument " + argument + "\n" + kUsage);
        }
    }
    if (options.libraryPath.empty() || options.logPath.empty()) {
        throw TraceError(std::string("a library and a log are required\n") + kUsage);
    }
    return options;
}

// Each line of the log made again (lines that begin a session, where a
// process or a copy of the recorder begins logging, aside) and compared
// with what the line holds.
int replayLog(const Options& options) {
    std::ifstream log(options.logPath);
    if (!log) {
        throw TraceError("cannot open " + options.logPath);
    }
    host::UnitLibrary unit;
    if (!unit.load(options.libraryPath)) {
        throw TraceError(unit.error());
    }
    Replayer replayer(unit.fmi2());
    ReplayReport report(options.logPath);
    std::string text;
    for (std::size_t number = 1; std::getline(log, text); ++number) {
        const std::string where = options.logPath + ":" + std::to_string(number);
        try {
            const Json line = Json::parse(text);
            if (line.contains("session")) {
                continue;
            }
            const std::string name = fieldOf(line, "call").get<std::string>();
            std::string differs;
            try {
                differs = difference(line, replayer.replay(line));
            } catch (const CannotReplay& reason) {
                differs = std::string("cannot be made again: ") + reason.what();
            }
            report.call(where, name, differs);
        } catch (const Json::exception& error) {
            throw TraceError(where + ": " + error.what());
        } catch (const TraceError& error) {
            throw TraceError(where + ": " + error.what());
        }
    }
    return report.finish(replayer.leftInstances());
}

}  // namespace

bool isReplayCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--replay") {
            return true;
        }
    }
    return false;
}

int replayMain(int argc, char** argv) {
    try {
        return replayLog(parseOptions(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "trace: " << error.what() << '\n';
    }
    return 2;
}

}  // namespace tarvo::trace
