#ifndef QUORVANTA_BASE_LOG_H_
#define QUORVANTA_BASE_LOG_H_

#include <string_view>

// Every line the program writes to its standard output and standard error goes through here:
// plain text, no levels or time stamps, flushed at once. Lines from different threads are never
// interleaved. Tests replace the destination to capture and check what was written.
namespace logging {

enum class Stream { kOut, kErr };

// Writes `text` and a line end, then flushes.
void WriteLine(Stream stream, std::string_view text);

// Writes `text` as it is, without a line end, then flushes.
void Write(Stream stream, std::string_view text);

inline void Out(std::string_view line) { WriteLine(Stream::kOut, line); }
inline void Err(std::string_view line) { WriteLine(Stream::kErr, line); }

// Where the text goes. The default destination is the process's standard output and error.
class Destination {
 public:
  virtual ~Destination() = default;
  // Called under the log's lock, so one call at a time.
  virtual void Write(Stream stream, std::string_view text) = 0;
};

// Sends all further text to `destination` (the standard streams when null) and returns the one
// used before. The caller keeps `destination` alive until it is replaced.
Destination* SetDestination(Destination* destination);

}  // namespace logging

#endif  // QUORVANTA_BASE_LOG_H_
