#include "tests/end_to_end/program_run.h"

#include <utility>

namespace end_to_end {
namespace {

constexpr auto kReadInterval = std::chrono::milliseconds(5);
constexpr DWORD kTerminationWaitMs = 5000;

// Both ends of a new pipe; only the write end, which the program gets, is inheritable.
bool CreateOutputPipe(base::ScopedHandle* read_end, base::ScopedHandle* write_end) {
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  if (!CreatePipe(&reader, &writer, &inheritable, 0)) return false;
  read_end->Reset(reader);
  write_end->Reset(writer);
  return SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0) != 0;
}

// Appends what the pipe holds now, without waiting; returns whether there was anything.
bool TakeAvailable(HANDLE pipe, std::string* text) {
  bool took = false;
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
      return took;
    }
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!ReadFile(pipe, chunk.data(), available, &read, nullptr) || read == 0) return took;
    text->append(chunk.data(), read);
    took = true;
  }
}

}  // namespace

std::unique_ptr<ProgramRun> ProgramRun::Start(const std::wstring& application,
                                              std::wstring command_line,
                                              const std::wstring& working_directory) {
  base::ScopedHandle output_read, output_write, error_read, error_write;
  if (!CreateOutputPipe(&output_read, &output_write) ||
      !CreateOutputPipe(&error_read, &error_write)) {
    return nullptr;
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output_write.Get();
  startup.hStdError = error_write.Get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      working_directory.c_str(), &startup, &process)) {
    return nullptr;
  }
  const base::ScopedHandle thread(process.hThread);
  // The program holds its own copies of the write ends now.
  return std::unique_ptr<ProgramRun>(new ProgramRun(base::ScopedHandle(process.hProcess),
                                                    process.dwProcessId, std::move(output_read),
                                                    std::move(error_read)));
}

ProgramRun::ProgramRun(base::ScopedHandle process, DWORD process_id, base::ScopedHandle output,
                       base::ScopedHandle errors)
    : process_(std::move(process)),
      process_id_(process_id),
      output_pipe_(std::move(output)),
      error_pipe_(std::move(errors)) {
  reader_ = std::thread([this] { ReadUntilStopped(); });
}

ProgramRun::~ProgramRun() {
  if (WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.Get(), kEndedAfterTimeout);
    WaitForSingleObject(process_.Get(), kTerminationWaitMs);
  }
  StopReading();
}

bool ProgramRun::WaitForExit(std::chrono::milliseconds timeout) {
  const bool in_time =
      WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  if (!in_time) {
    TerminateProcess(process_.Get(), kEndedAfterTimeout);
    WaitForSingleObject(process_.Get(), kTerminationWaitMs);
  }
  GetExitCodeProcess(process_.Get(), &exit_code_);
  // Everything the program wrote is in the pipes once it has ended.
  StopReading();
  return in_time;
}

bool ProgramRun::WaitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(lock_);
  bool found = false;
  changed_.wait_for(hold, timeout, [&] {
    found = output_.find(text) != std::string::npos;
    return found || reader_done_;
  });
  return found;
}

std::string ProgramRun::Output() const {
  std::lock_guard<std::mutex> hold(lock_);
  return output_;
}

std::string ProgramRun::Errors() const {
  std::lock_guard<std::mutex> hold(lock_);
  return errors_;
}

void ProgramRun::ReadUntilStopped() {
  for (;;) {
    std::string output, errors;
    const bool took =
        TakeAvailable(output_pipe_.Get(), &output) | TakeAvailable(error_pipe_.Get(), &errors);
    std::unique_lock<std::mutex> hold(lock_);
    output_ += output;
    errors_ += errors;
    if (took) changed_.notify_all();
    // A stop comes after the program has ended, so one more pass has taken all it wrote.
    if (stop_reading_ && !took) {
      reader_done_ = true;
      changed_.notify_all();
      return;
    }
    changed_.wait_for(hold, kReadInterval, [this] { return stop_reading_; });
  }
}

void ProgramRun::StopReading() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_reading_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
}

}  // namespace end_to_end
