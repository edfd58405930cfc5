// Figures of the VPN side, measured against the stand-in children beside this program:
//  - the latency from a child writing "Using TAP-Windows device" to the Connected event reaching
//    the listener's sink on the platform thread, over 200 connections;
//  - beside it, the floor: a bare pipe round trip to a child that echoes its input, one before
//    each connection, so that both see the same machine load;
//  - peak threads and resident memory while 50 workers run at once.
// The children's reports go to a folder of its own under the temporary directory (TMPDIR).
// Usage: vpn_benchmark [connections]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/log.h"
#include "channels/method_call.h"
#include "channels/method_result.h"
#include "tests/support/process_stats.h"
#include "tests/support/queue_task_runner.h"
#include "vpn/child_dialogue.h"
#include "vpn/child_process.h"
#include "vpn/control_channel.h"
#include "vpn/event_streams.h"
#include "vpn/executable_directory.h"
#include "vpn/vpn_state.h"
#include "vpn/worker_thread.h"

namespace {

using Clock = std::chrono::steady_clock;
using Microseconds = std::chrono::duration<double, std::micro>;

// The workers echo every chunk; the figures are printed on the real standard output instead.
class DiscardLog : public logging::Destination {
 public:
  void Write(logging::Stream, std::string_view) override {}
};

class IgnoredResult : public flutter::MethodResult<> {
 public:
  void Success(const flutter::EncodableValue*) override {}
  void Error(const std::string&, const std::string& message,
             const flutter::EncodableValue*) override {
    std::fprintf(stderr, "toggle failed: %s\n", message.c_str());
  }
  void NotImplemented() override {}
};

// Notes when each event arrives.
class TimingSink : public flutter::EventSink<> {
 public:
  struct Arrivals {
    std::mutex lock;
    std::vector<std::pair<int32_t, Clock::time_point>> events;
    size_t Count(int32_t code) {
      std::lock_guard<std::mutex> hold(lock);
      return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                               [code](const auto& e) { return e.first == code; }));
    }
  };
  explicit TimingSink(std::shared_ptr<Arrivals> arrivals) : arrivals_(std::move(arrivals)) {}
  void Success(const flutter::EncodableValue* event) override {
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> hold(arrivals_->lock);
    arrivals_->events.emplace_back(std::get<int32_t>(*event), now);
  }
  void Error(const std::string&, const std::string&, const flutter::EncodableValue*) override {}
  void EndOfStream() override {}

 private:
  std::shared_ptr<Arrivals> arrivals_;
};

bool WaitFor(const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (Clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void ToggleOpenConnect(const std::string& server) {
  const flutter::MethodCall<> call(
      "toggleOpenConnect",
      std::make_unique<flutter::EncodableValue>(flutter::EncodableList{server, "user", "secret"}));
  vpn::HandleControlMethodCall(call, std::make_unique<IgnoredResult>());
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string PercentEncoded(const std::string& text) {
  std::string encoded;
  char escape[4];
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == ':') {
      encoded.push_back(static_cast<char>(c));
    } else {
      std::snprintf(escape, sizeof(escape), "%%%02X", c);
      encoded += escape;
    }
  }
  return encoded;
}

struct Percentiles {
  double p50;
  double p99;
};

Percentiles Summarise(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const auto at = [&samples](double fraction) {
    const size_t rank = static_cast<size_t>(fraction * static_cast<double>(samples.size()) + 0.999);
    return samples[std::min(samples.size(), std::max<size_t>(rank, 1)) - 1];
  };
  return {at(0.50), at(0.99)};
}

// A child that echoes what it reads, kept running so that a round trip can be timed at any moment.
class EchoChild {
 public:
  EchoChild() {
    vpn::CreateChildPipes(pipes_);
    child_ = vpn::LaunchChild(vpn::ProgramPath(vpn::ExecutableDirectory(), "xray"),
                              vpn::NativeFromUtf8("echo"), nullptr, pipes_);
  }
  ~EchoChild() {
    if (child_ != nullptr) {
      vpn::CloseChild(pipes_, child_.get());
    }
  }
  EchoChild(const EchoChild&) = delete;
  EchoChild& operator=(const EchoChild&) = delete;

  // Microseconds from writing one byte to reading it back; negative when the child is gone.
  double RoundTrip() {
    char byte = 0;
    const Clock::time_point start = Clock::now();
    if (child_ == nullptr || !vpn::WriteToChild(pipes_, "x") ||
        vpn::ReadFromChild(pipes_, &byte, 1) != 1) {
      return -1;
    }
    return Microseconds(Clock::now() - start).count();
  }

 private:
  vpn::ChildPipes pipes_;
  std::shared_ptr<vpn::ChildProcess> child_;
};

size_t StampCount(const std::filesystem::path& report) {
  std::ifstream stamps(report / "stamps");
  size_t count = 0;
  for (std::string line; std::getline(stamps, line);) {
    ++count;
  }
  return count;
}

// The latency of each connection, with one pipe round trip timed before each in `floor`.
std::vector<double> ConnectedLatencies(int connections, const std::filesystem::path& report,
                                       std::vector<double>* floor) {
  std::vector<double> samples;
  EchoChild echo;
  auto arrivals = std::make_shared<TimingSink::Arrivals>();
  static_cast<void>(vpn::OnListen(vpn::EventStream::kOpenConnect, nullptr,
                                  std::make_unique<TimingSink>(arrivals)));
  const std::string script =
      "report=" + PercentEncoded(Utf8(report)) + ",stamp=Using%20TAP-Windows%20device,sleep=60000";
  for (int i = 0; i < connections; ++i) {
    const double round_trip = echo.RoundTrip();
    if (round_trip < 0) {
      std::fprintf(stderr, "the echoing child did not answer\n");
      break;
    }
    floor->push_back(round_trip);
    ToggleOpenConnect(script);
    const size_t done = static_cast<size_t>(i) + 1;
    // The child records its time stamp after writing the phrase: stopping it before the record
    // is on disk would pair every later arrival with the wrong stamp.
    if (!WaitFor([&] {
          return arrivals->Count(5) == done && vpn::GetVpnState().connected &&
                 StampCount(report) == done;
        })) {
      std::fprintf(stderr, "connection %d did not connect\n", i);
      break;
    }
    ToggleOpenConnect("stop");
    if (!WaitFor([&] { return arrivals->Count(6) == done && vpn::RunningWorkers() == 0; })) {
      std::fprintf(stderr, "connection %d did not stop\n", i);
      break;
    }
  }
  vpn::ClearEventSinks();

  std::ifstream stamps(report / "stamps");
  std::vector<Clock::time_point> written;
  for (long long nanoseconds; stamps >> nanoseconds;) {
    written.emplace_back(std::chrono::nanoseconds(nanoseconds));
  }
  std::lock_guard<std::mutex> hold(arrivals->lock);
  size_t connected = 0;
  for (const auto& [code, time] : arrivals->events) {
    if (code == 5 && connected < written.size()) {
      samples.push_back(Microseconds(time - written[connected++]).count());
    }
  }
  return samples;
}

// A new folder under the temporary directory (TMPDIR, else the system's), so that runs side by
// side never share one; empty when none could be made.
std::filesystem::path NewScratchFolder() {
  std::error_code error;
  const std::filesystem::path parent = std::filesystem::temp_directory_path(error);
  if (error) {
    return {};
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path folder =
        parent / ("quorvanta-vpn-benchmark-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder, error)) {
      return folder;
    }
  }
  return {};
}

void ConcurrentWorkers(int workers) {
  const int threads_before = testing_support::ThreadCount();
  const int64_t memory_before = testing_support::ResidentBytes();
  int peak_threads = threads_before;
  int64_t peak_memory = memory_before;
  // Without a listener no start is announced, so every toggle starts: it ends the child before
  // it and waits until that one is gone. The workers live together; their children in turn.
  for (int i = 0; i < workers; ++i) {
    ToggleOpenConnect("say=Username:,ask,sleep=2000");
  }
  while (vpn::RunningWorkers() > 0) {
    peak_threads = std::max(peak_threads, testing_support::ThreadCount());
    peak_memory = std::max(peak_memory, testing_support::ResidentBytes());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::printf(
      "%d concurrent workers: peak threads %d (before %d), peak resident memory %.1f MiB "
      "(before %.1f MiB)\n",
      workers, peak_threads, threads_before, peak_memory / 1048576.0, memory_before / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
  const int connections = argc > 1 ? std::atoi(argv[1]) : 200;
  DiscardLog discard;
  logging::SetDestination(&discard);
  auto platform = std::make_shared<testing_support::QueueTaskRunner>();
  vpn::SetPlatformTaskRunner(platform);
  const std::filesystem::path report = NewScratchFolder();
  if (report.empty()) {
    std::fprintf(stderr, "no scratch folder could be made under the temporary directory\n");
    return 1;
  }

  std::vector<double> floor;
  const std::vector<double> latency = ConnectedLatencies(connections, report, &floor);
  std::error_code ignored;
  std::filesystem::remove_all(report, ignored);
  if (floor.empty() || latency.empty()) {
    std::fprintf(stderr, "no figures: the child programs did not run\n");
    return 1;
  }
  const Percentiles pipe = Summarise(floor);
  const Percentiles connected = Summarise(latency);
  std::printf("pipe round trip to a child (floor): p50 %.1f us, p99 %.1f us over %zu round trips\n",
              pipe.p50, pipe.p99, floor.size());
  std::printf(
      "child output to Connected at the sink: p50 %.1f us, p99 %.1f us over %zu "
      "connections\n",
      connected.p50, connected.p99, latency.size());
  std::printf("ratio to the floor: p50 %.2f, p99 %.2f\n", connected.p50 / pipe.p50,
              connected.p99 / pipe.p99);
  ConcurrentWorkers(50);

  vpn::SetPlatformTaskRunner(nullptr);
  platform->Stop();
  logging::SetDestination(nullptr);
  return 0;
}
