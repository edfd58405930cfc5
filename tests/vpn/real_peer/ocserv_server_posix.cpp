#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "base/scoped_fd_posix.h"
#include "tests/vpn/real_peer/ocserv_server.h"

extern char** environ;

namespace vpn_testing {
namespace {

bool HasEnded(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Accepts(int port) {
  const base::ScopedFd socket_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Loopback(port);
  return connect(socket_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) ==
         0;
}

bool ReadProcess(const std::filesystem::path& stat_file, pid_t& parent, std::string& name) {
  std::ifstream stat(stat_file);
  const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const size_t open = text.find('(');
  const size_t close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close + 4 >= text.size()) {
    return false;
  }
  name = text.substr(open + 1, close - open - 1);
  parent = static_cast<pid_t>(std::atol(text.c_str() + close + 4));  // after ") S "
  return true;
}

std::string WhyNoServerCanRun() {
  if (geteuid() != 0) {
    return "ocserv needs root to run";
  }
  if (access("/dev/net/tun", R_OK | W_OK) != 0) {
    return "ocserv needs /dev/net/tun, which this machine does not offer";
  }
  return {};
}

int FreeLocalPort() {
  const base::ScopedFd socket_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof(address);
  if (bind(socket_fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      getsockname(socket_fd.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

OcservServer::OcservServer(const std::filesystem::path& start_script,
                           const std::filesystem::path& folder)
    : folder_(folder), port_(FreeLocalPort()) {
  std::filesystem::create_directories(folder_);
  const std::string script = start_script.string();
  const std::string folder_text = folder_.string();
  const std::string port = std::to_string(port_);
  const std::string log = (folder_ / "server.log").string();
  char* const argv[] = {const_cast<char*>(script.c_str()), const_cast<char*>(folder_text.c_str()),
                        const_cast<char*>(port.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  // Its own process group, so that its helpers and session processes are stopped with it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  if (posix_spawn(&pid_, script.c_str(), &actions, &attributes, argv, environ) != 0) {
    pid_ = 0;
    failure_ = "could not run " + script;
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (failure_.empty() && !Accepts(port_)) {
    if (HasEnded(pid_)) {
      pid_ = 0;
      failure_ = "ocserv ended at start:\n" + Log();
    } else if (std::chrono::steady_clock::now() > deadline) {
      failure_ = "ocserv did not listen on port " + port + " within 20 s:\n" + Log();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

OcservServer::~OcservServer() {
  Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void OcservServer::Stop() {
  if (pid_ == 0) {
    return;
  }
  kill(-pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!HasEnded(pid_)) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = 0;
}

std::string OcservServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string OcservServer::Log() const {
  std::ifstream log(folder_ / "server.log");
  return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
}

int OcservServer::DropSessions() const {
  int dropped = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string id = entry.path().filename().string();
    if (id.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    pid_t parent = 0;
    std::string name;
    if (ReadProcess(entry.path() / "stat", parent, name) && parent == pid_ &&
        name == "ocserv-worker") {
      dropped += kill(std::atoi(id.c_str()), SIGKILL) == 0 ? 1 : 0;
    }
  }
  return dropped;
}

}  // namespace vpn_testing
