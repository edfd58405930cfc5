#ifndef QUORVANTA_TESTS_VPN_REAL_PEER_LOOPBACK_H_
#define QUORVANTA_TESTS_VPN_REAL_PEER_LOOPBACK_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/scoped_fd_posix.h"

// What the real-peer tests share: ports of 127.0.0.1 and the processes the peers start.
namespace vpn_testing {

inline sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A TCP socket bound to a free port of 127.0.0.1, which `port` receives (0 on failure).
inline base::ScopedFd BindFreeLocalPort(int& port) {
  base::ScopedFd socket_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof(address);
  const bool bound =
      bind(socket_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(socket_fd.Get(), reinterpret_cast<sockaddr*>(&address), &size) == 0;
  port = bound ? ntohs(address.sin_port) : 0;
  return socket_fd;
}

// A free TCP port on 127.0.0.1, as the system hands one out at this moment.
inline int FreeLocalPort() {
  int port = 0;
  static_cast<void>(BindFreeLocalPort(port));
  return port;
}

// A connection to `port` of 127.0.0.1; empty when nothing accepts it.
inline base::ScopedFd Connect(int port) {
  base::ScopedFd socket_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Loopback(port);
  if (connect(socket_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    socket_fd.Reset();
  }
  return socket_fd;
}

inline bool Accepts(int port) { return Connect(port).IsValid(); }

// The process ids of the children of `parent` called `name`, from /proc/<pid>/stat.
inline std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& name) {
  std::vector<pid_t> children;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    if (entry.path().filename().string().find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    std::ifstream file(entry.path() / "stat");
    const std::string stat((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const size_t open = stat.find('(');
    const size_t close = stat.rfind(')');
    if (open != std::string::npos && close != std::string::npos && close + 4 < stat.size() &&
        stat.substr(open + 1, close - open - 1) == name &&
        std::atol(stat.c_str() + close + 4) == parent) {  // after ") S "
      children.push_back(std::atoi(entry.path().filename().c_str()));
    }
  }
  return children;
}

}  // namespace vpn_testing

#endif  // QUORVANTA_TESTS_VPN_REAL_PEER_LOOPBACK_H_
