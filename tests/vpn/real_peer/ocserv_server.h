#ifndef QUORVANTA_TESTS_VPN_REAL_PEER_OCSERV_SERVER_H_
#define QUORVANTA_TESTS_VPN_REAL_PEER_OCSERV_SERVER_H_

#include <netinet/in.h>
#include <sys/types.h>

#include <filesystem>
#include <string>

namespace vpn_testing {

// Why this machine cannot run a real ocserv (it needs root and a tunnel device), or empty.
std::string WhyNoServerCanRun();

// A free TCP port on 127.0.0.1, as the system hands one out at this moment.
int FreeLocalPort();

// The address of `port` on 127.0.0.1.
sockaddr_in Loopback(int port);
// Whether something accepts TCP connections on `port` of 127.0.0.1.
bool Accepts(int port);
// The parent id and the name of a process, from its /proc/<pid>/stat; false when it is gone.
bool ReadProcess(const std::filesystem::path& stat_file, pid_t& parent, std::string& name);

// A real ocserv on 127.0.0.1, on a free port, with a self-signed certificate and the user
// "tester" (password "secret"), prepared and started by the start_ocserv script in `folder`.
// The server is stopped by its process id, and its folder removed, when this object goes.
class OcservServer {
 public:
  OcservServer(const std::filesystem::path& start_script, const std::filesystem::path& folder);
  ~OcservServer();

  OcservServer(const OcservServer&) = delete;
  OcservServer& operator=(const OcservServer&) = delete;

  // Whether it accepts connections; otherwise why not.
  bool IsListening() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }
  // "127.0.0.1:<port>", as the client takes its server.
  std::string Address() const;
  // Everything the server has logged.
  std::string Log() const;
  // Kills the server process of every live session, as a crash on the server's side would; the
  // number of sessions dropped.
  int DropSessions() const;

 private:
  void Stop();

  std::filesystem::path folder_;
  int port_ = 0;
  pid_t pid_ = 0;
  std::string failure_;
};

}  // namespace vpn_testing

#endif  // QUORVANTA_TESTS_VPN_REAL_PEER_OCSERV_SERVER_H_
