// Replay of a call log written by the call recorder (tools/recorder): every
// call made again, in the log's order, on a fresh unit loaded with dlopen,
// and every status and value it gives compared bit for bit with the log.
//
//   trace --library Tarvo_Unit.so --replay CALLS.jsonl
//
// Exit status: 0 every call identical, 1 a call differs or cannot be made
// again, 2 usage, input or loading error.
#ifndef TARVO_TOOLS_TRACE_REPLAY_H
#define TARVO_TOOLS_TRACE_REPLAY_H

namespace tarvo::trace {

// True when the command line names a log to replay.
bool isReplayCommand(int argc, char** argv);

// Runs the replay the command line asks for; returns the exit status.
int replayMain(int argc, char** argv);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_REPLAY_H
