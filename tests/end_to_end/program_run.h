#ifndef QUORVANTA_TESTS_END_TO_END_PROGRAM_RUN_H_
#define QUORVANTA_TESTS_END_TO_END_PROGRAM_RUN_H_

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/scoped_win32.h"

namespace end_to_end {

// The exit code given to a program that had to be ended because it overran its time.
inline constexpr DWORD kEndedAfterTimeout = 0xE2E0;

// A program started as a user's shell starts it, with a raw UTF-16 command line, its standard
// output and standard error on pipes of their own that are read while it runs. A program still
// running when the object goes is ended.
class ProgramRun {
 public:
  // Runs `application` with `command_line` exactly as given (its first word is the program's own
  // name) in `working_directory`. Null when the program cannot be started.
  static std::unique_ptr<ProgramRun> Start(const std::wstring& application,
                                           std::wstring command_line,
                                           const std::wstring& working_directory);
  ~ProgramRun();

  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Waits for the program to end. After `timeout` the program is ended with kEndedAfterTimeout
  // and the result is false.
  [[nodiscard]] bool WaitForExit(std::chrono::milliseconds timeout);
  // Waits until standard output holds `text`; false when the time passes first.
  [[nodiscard]] bool WaitForOutput(std::string_view text, std::chrono::milliseconds timeout);

  // Valid once WaitForExit has returned.
  DWORD exit_code() const { return exit_code_; }
  DWORD process_id() const { return process_id_; }
  // What the program has written so far.
  std::string Output() const;
  std::string Errors() const;

 private:
  ProgramRun(base::ScopedHandle process, DWORD process_id, base::ScopedHandle output,
             base::ScopedHandle errors);

  // The program's children inherit its ends of our pipes, and some outlive it, so the end of the
  // output never comes as a broken pipe: the reader takes what is there and stops when told.
  void ReadUntilStopped();
  void StopReading();

  base::ScopedHandle process_;
  DWORD process_id_ = 0;
  DWORD exit_code_ = kEndedAfterTimeout;
  base::ScopedHandle output_pipe_;
  base::ScopedHandle error_pipe_;

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::string output_;
  std::string errors_;
  bool stop_reading_ = false;
  bool reader_done_ = false;
  std::thread reader_;
};

}  // namespace end_to_end

#endif  // QUORVANTA_TESTS_END_TO_END_PROGRAM_RUN_H_
