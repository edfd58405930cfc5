#ifndef QUORVANTA_VPN_CHILD_DIALOGUE_H_
#define QUORVANTA_VPN_CHILD_DIALOGUE_H_

#include <cstddef>
#include <functional>
#include <string_view>

#include "vpn/child_process.h"

// One thread at a time holds a child's dialogue: in this program the worker that launched the
// child and owns its pipes. The calls block that thread; meanwhile other threads may only end the
// child (ChildProcess::Terminate).

namespace vpn {

// The line end written after every answer; no carriage return.
inline constexpr std::string_view kEnterChar = "\n";

// The largest chunk one read takes.
inline constexpr size_t kChunkSize = 4096;

// Reads the child's output chunk by chunk until it ends, hands each chunk to `classify` (on the
// calling thread, which may answer the child from there) and then echoes it on standard output,
// framed by "while acting" lines. Chunks are classified alone: a phrase cut by a read boundary is
// not seen.
void ReadChildOutput(ChildPipes& pipes, const std::function<void(std::string_view)>& classify);

// Writes `answer` and then the line end to the child's standard input, each in one write; logs
// `failure_message` or "Error writing enterChar to process." when a write fails.
void AnswerChild(ChildPipes& pipes, std::string_view answer, std::string_view failure_message);

// Ends the dialogue: closes the child's input, waits for a launched child to end and closes it,
// then closes the output. `child` is null when the launch failed.
void CloseChild(ChildPipes& pipes, ChildProcess* child);

}  // namespace vpn

#endif  // QUORVANTA_VPN_CHILD_DIALOGUE_H_
