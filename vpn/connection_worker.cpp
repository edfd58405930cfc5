#include "vpn/connection_worker.h"

#include <utility>

#include "vpn/child_dialogue.h"

namespace vpn {
namespace {

std::mutex hook_lock;
std::function<void()> before_launch_hook;

void RunBeforeLaunchHook() {
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> hold(hook_lock);
    hook = before_launch_hook;
  }
  if (hook) {
    hook();
  }
}

// The decision step. Returns the start to carry out, or null after the stop path; `replaced` is
// the start that was live before and has to be gone before this one launches.
std::shared_ptr<Connection> Decide(ConnectionKind& kind, std::shared_ptr<Connection>& replaced) {
  VpnState& state = GetVpnState();
  std::lock_guard<std::mutex> hold(state.lock);
  std::shared_ptr<Connection>& record = kind.Record(state);
  if (StopTestHolds(record)) {
    kind.StopLocked(record.get());
    return nullptr;
  }
  // Never two children of a kind: one still running with both flags clear (a client that lost
  // its session and reconnects by itself, or a start nobody listened to) is ended first, and its
  // end is reported before this start is announced.
  if (record != nullptr && record->IsLive()) {
    replaced = record;
    replaced->Supersede();
    kind.ReportEndLocked(*replaced);
  }
  record = std::make_shared<Connection>(kind.Stream());
  kind.AnnounceLocked(*record);
  return record;
}

// The worker is done with its child: the end is reported, unless the program ended the start,
// in the same step that makes the start gone, so that no other toggle reports it again.
void Finish(ConnectionKind& kind, Connection& connection) {
  VpnState& state = GetVpnState();
  std::lock_guard<std::mutex> hold(state.lock);
  if (!connection.EndedByProgram()) {
    kind.ReportEndLocked(connection);
  }
  connection.MarkGone();
  state.gone.notify_all();
}

// Waits until `replaced` (if any) is gone; false when the start was stopped meanwhile.
bool ReadyToLaunch(const std::shared_ptr<Connection>& replaced, Connection& connection) {
  VpnState& state = GetVpnState();
  std::unique_lock<std::mutex> hold(state.lock);
  if (replaced != nullptr) {
    state.gone.wait(hold, [&replaced] { return replaced->IsGone(); });
  }
  return !connection.EndedByProgram();
}

}  // namespace

bool ActUnlessEnded(Connection& connection, const std::function<void()>& action) {
  std::lock_guard<std::mutex> hold(GetVpnState().lock);
  if (connection.EndedByProgram()) {
    return false;
  }
  action();
  return true;
}

void RunConnectionWorker(ConnectionKind& kind) {
  std::shared_ptr<Connection> replaced;
  const std::shared_ptr<Connection> connection = Decide(kind, replaced);
  if (connection == nullptr) {
    return;
  }
  if (!ReadyToLaunch(replaced, *connection)) {
    Finish(kind, *connection);
    return;
  }

  ChildPipes pipes;
  CreateChildPipes(pipes);
  const ConnectionKind::Launch launch = kind.PrepareLaunch();
  RunBeforeLaunchHook();
  const std::shared_ptr<ChildProcess> child =
      LaunchChild(launch.application, launch.command_line,
                  launch.working_directory ? &*launch.working_directory : nullptr, pipes);
  {
    std::lock_guard<std::mutex> hold(GetVpnState().lock);
    if (child == nullptr && !connection->EndedByProgram()) {
      kind.ReportLaunchFailureLocked(*connection);
    }
    connection->Attach(child);
  }

  ReadChildOutput(pipes, [&](std::string_view chunk) { kind.Classify(chunk, pipes, *connection); });
  CloseChild(pipes, child.get());
  Finish(kind, *connection);
}

void SetBeforeLaunchHookForTesting(std::function<void()> hook) {
  std::lock_guard<std::mutex> hold(hook_lock);
  before_launch_hook = std::move(hook);
}

}  // namespace vpn
