#ifndef QUORVANTA_VPN_CONNECTION_WORKER_H_
#define QUORVANTA_VPN_CONNECTION_WORKER_H_

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "vpn/child_process.h"
#include "vpn/connection.h"
#include "vpn/native_string.h"
#include "vpn/vpn_state.h"

namespace vpn {

// Log lines both kinds write. They stay word for word, the misspelt "sucessfully" and the "yes" of
// the write that carries the Xray configuration included: readers of the log match them as they
// are.
inline constexpr std::string_view kTerminatedLine = "Terminate vpn was sucessfully";
inline constexpr std::string_view kTerminateFailedLine = "Terminate vpn was failed";
inline constexpr std::string_view kWritingYesFailedLine = "Error writing yes to process.";

// What sets one kind of connection apart. The methods named "...Locked" run with the VPN state's
// lock held, as parts of one decision: they may log, change the flags and post events, and must
// not block. Within each, the flags change before the events that announce the change are posted.
class ConnectionKind {
 public:
  struct Launch {
    NativeString application;
    NativeString command_line;
    std::optional<NativeString> working_directory;  // none: the program's current folder
  };

  virtual ~ConnectionKind() = default;

  // The kind's latest start in `state`.
  virtual std::shared_ptr<Connection>& Record(VpnState& state) const = 0;
  virtual EventStream Stream() const = 0;
  // The stop path. `latest` is the kind's latest start, or null.
  virtual void StopLocked(Connection* latest) = 0;
  // Announces the start of `connection`, just decided.
  virtual void AnnounceLocked(Connection& connection) = 0;
  // The launch of `connection` failed.
  virtual void ReportLaunchFailureLocked(Connection& connection) = 0;
  // The child of `connection` ended, or never started, without the program stopping it: reported
  // as the stop path would, without the termination and without what was sent for it already.
  virtual void ReportEndLocked(Connection& connection) = 0;
  // What to launch; called once the pipes exist.
  virtual Launch PrepareLaunch() = 0;
  // Acts on one chunk of the child's output; see ActUnlessEnded for what it may change.
  virtual void Classify(std::string_view chunk, ChildPipes& pipes, Connection& connection) = 0;
};

// The body of a toggle's worker thread. Under the lock, in one step: the stop test and either
// the stop path, or the start (a live child of the kind ended, its end reported, then the
// announcement and the new start recorded). Then, for a start: wait until the ended child is
// gone, launch, read and classify the output until it ends, close the child and report its end,
// unless the program ended the start meanwhile.
void RunConnectionWorker(ConnectionKind& kind);

// Runs `action` with the VPN state's lock held unless the program has ended `connection`;
// whether it ran. What a chunk changes in the shared state or posts goes through here, so that
// nothing follows the stop of its start.
bool ActUnlessEnded(Connection& connection, const std::function<void()>& action);

// For tests only: `hook` runs on a starting worker right before it launches its child, after its
// last look at whether its start was stopped. Empty: nothing runs.
void SetBeforeLaunchHookForTesting(std::function<void()> hook);

}  // namespace vpn

#endif  // QUORVANTA_VPN_CONNECTION_WORKER_H_
