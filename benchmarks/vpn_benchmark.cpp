// Figures of the VPN side, measured against the stand-in children beside this program:
//  - the floor: a bare pipe round trip to a child that echoes its input;
//  - the latency from a child writing "Using TAP-Windows device" to the Connected event reaching
//    the listener's sink on the platform thread, over 200 connections;
//  - peak threads and resident memory while 50 workers run at once.
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

std::vector<double> PipeRoundTrips(int count) {
  std::vector<double> samples;
  vpn::ChildPipes pipes;
  vpn::CreateChildPipes(pipes);
  const auto child = vpn::LaunchChild(vpn::ProgramPath(vpn::ExecutableDirectory(), "xray"),
                                      vpn::NativeFromUtf8("echo"), nullptr, pipes);
  if (child == nullptr) {
    return samples;
  }
  char byte = 0;
  for (int i = 0; i < count; ++i) {
    const Clock::time_point start = Clock::now();
    if (!vpn::WriteToChild(pipes, "x") || vpn::ReadFromChild(pipes, &byte, 1) != 1) {
      break;
    }
    samples.push_back(Microseconds(Clock::now() - start).count());
  }
  vpn::CloseChild(pipes, child.get());
  return samples;
}

size_t StampCount(const std::filesystem::path& report) {
  std::ifstream stamps(report / "stamps");
  size_t count = 0;
  for (std::string line; std::getline(stamps, line);) {
    ++count;
  }
  return count;
}

std::vector<double> ConnectedLatencies(int connections, const std::filesystem::path& report) {
  std::vector<double> samples;
  auto arrivals = std::make_shared<TimingSink::Arrivals>();
  static_cast<void>(vpn::OnListen(vpn::EventStream::kOpenConnect, nullptr,
                                  std::make_unique<TimingSink>(arrivals)));
  const std::string script =
      "report=" + PercentEncoded(Utf8(report)) + ",stamp=Using%20TAP-Windows%20device,sleep=60000";
  for (int i = 0; i < connections; ++i) {
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

void ConcurrentWorkers(int workers) {
  const int threads_before = testing_support::ThreadCount();
  const int64_t memory_before = testing_support::ResidentBytes();
  int peak_threads = threads_before;
  int64_t peak_memory = memory_before;
  // Without a listener no start is announced, so every toggle launches another child.
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
  std::error_code ignored;
  const std::filesystem::path report =
      std::filesystem::temp_directory_path() / "quorvanta-vpn-benchmark";
  std::filesystem::remove_all(report, ignored);
  std::filesystem::create_directories(report);

  const std::vector<double> floor = PipeRoundTrips(connections);
  const std::vector<double> latency = ConnectedLatencies(connections, report);
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
  std::filesystem::remove_all(report, ignored);
  return 0;
}
