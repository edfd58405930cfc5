#ifndef QUORVANTA_STAND_INS_EMBEDDER_UI_SIDE_H_
#define QUORVANTA_STAND_INS_EMBEDDER_UI_SIDE_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "stand_ins/embedder/answer.h"
#include "stand_ins/embedder/queues.h"
#include "stand_ins/embedder/script.h"
#include "stand_ins/embedder/status_panel.h"
#include "stand_ins/embedder/transcript.h"

namespace stand_in {

// Plays the UI's part on a thread of its own, as the UI's code would run beside the platform
// thread: once the program's start-up is over it runs the script (or, without one, only
// watches), and it writes everything it sends, receives and checks to the transcript, and the
// connection state it sees to the status panel.
class UiSide {
 public:
  // `script_path` may be empty. The transcript, the panel, the inbox and the queue outlive this
  // object.
  UiSide(Transcript* transcript, StatusPanel* status, UiInbox* inbox, HostQueue* host,
         std::string script_path);
  ~UiSide();

  UiSide(const UiSide&) = delete;
  UiSide& operator=(const UiSide&) = delete;

  void Start();
  // Interrupts any wait and joins the thread. Call it from the platform thread, never from the UI
  // thread itself.
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;

  void Run();
  void RunScript();
  void RunCommand(const Command& command);

  // Handles arriving items until `done` holds, a stop is requested or the deadline passes;
  // returns whether `done` holds.
  bool WaitUntil(const std::function<bool()>& done, Clock::time_point deadline);
  void Handle(UiItem item);
  void HandleHostMessage(HostMessage message);

  void Call(const Command& command);
  void ExpectEvent(const Command& command);
  void ExpectNoEvent(const Command& command);
  void CheckWindow(const Command& command);
  void ActOnWindow(WindowAction action, const char* name);
  void Screenshot(const Command& command);
  std::optional<WindowResult> AskWindow(WindowAction action);

  void Line(const std::string& text);
  void Ok(const std::string& text);
  void Fail(const std::string& text);

  Transcript* transcript_;
  StatusPanel* status_;
  UiInbox* inbox_;
  HostQueue* host_;
  std::string script_path_;
  std::thread thread_;

  // UI thread only.
  bool started_ = false;
  int failures_ = 0;
  uint64_t next_id_ = 1;
  std::map<uint64_t, std::string> call_names_;
  std::map<uint64_t, Answer> replies_;
  std::map<std::string, bool> listening_;  // a channel once listened on stays, as false
  std::map<std::string, std::deque<Answer>> events_;
  std::map<uint64_t, WindowResult> window_results_;
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_UI_SIDE_H_
