#include "base/log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace logging {
namespace {

class StandardStreams final : public Destination {
 public:
  void Write(Stream stream, std::string_view text) override {
    // C stdio rather than iostreams: a console opened later re-binds stdout and stderr, and
    // these calls follow it.
    std::FILE* file = stream == Stream::kOut ? stdout : stderr;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
  }
};

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

StandardStreams& DefaultDestination() {
  static StandardStreams destination;
  return destination;
}

Destination* current = nullptr;

Destination& Current() { return current != nullptr ? *current : DefaultDestination(); }

}  // namespace

void WriteLine(Stream stream, std::string_view text) {
  // One write per line: modules that share the C runtime's streams but not this lock (the
  // embedder library) then never split each other's lines.
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back('\n');
  std::lock_guard<std::mutex> hold(Lock());
  Current().Write(stream, line);
}

void Write(Stream stream, std::string_view text) {
  std::lock_guard<std::mutex> hold(Lock());
  Current().Write(stream, text);
}

Destination* SetDestination(Destination* destination) {
  std::lock_guard<std::mutex> hold(Lock());
  Destination* previous = current;
  current = destination;
  return previous;
}

}  // namespace logging
