
#include <windows.h>

#include <vector>

#include "base/log.h"
#include "vpn/child_process.h"

namespace vpn {
namespace {

// The handles a child may inherit, as a process attribute: with it, CreateProcessW hands the
// child these and no other inheritable handle of the program (another child's pipe ends, the
// embedder's or a plugin's handles), so launches on several threads never mix their pipes.
class InheritedHandleList {
 public:
  InheritedHandleList(HANDLE first, HANDLE second) : handles_{first, second} {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    if (!InitializeProcThreadAttributeList(List(), 1, 0, &size)) {
      return;
    }
    initialized_ = true;
    ready_ = UpdateProcThreadAttribute(List(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_,
                                       sizeof(handles_), nullptr, nullptr) != 0;
  }
  ~InheritedHandleList() {
    if (initialized_) {
      DeleteProcThreadAttributeList(List());
    }
  }
  InheritedHandleList(const InheritedHandleList&) = delete;
  InheritedHandleList& operator=(const InheritedHandleList&) = delete;

  bool IsReady() const { return ready_; }
  LPPROC_THREAD_ATTRIBUTE_LIST List() {
    return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
  }

 private:
  HANDLE handles_[2];  // must stay in place while the list is used
  std::vector<unsigned char> storage_;
  bool initialized_ = false;
  bool ready_ = false;
};

bool CreateInheritablePipe(PipeEnd& read_end, PipeEnd& write_end) {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = nullptr;
  attributes.bInheritHandle = TRUE;
  HANDLE read_handle = nullptr;
  HANDLE write_handle = nullptr;
  if (!CreatePipe(&read_handle, &write_handle, &attributes, 0)) {
    return false;
  }
  read_end.Reset(read_handle);
  write_end.Reset(write_handle);
  return true;
}

}  // namespace

ChildProcess::ChildProcess(NativeChild native) : native_(std::move(native)) {}

ChildProcess::~ChildProcess() = default;

bool ChildProcess::Terminate() {
  std::lock_guard<std::mutex> hold(lock_);
  return native_.process.IsValid() && TerminateProcess(native_.process.Get(), 0) != 0;
}

bool ChildProcess::IsLive() const {
  std::lock_guard<std::mutex> hold(lock_);
  return native_.process.IsValid();
}

void ChildProcess::WaitForExit() {
  // Not under the lock, so that other threads can terminate the child meanwhile; only this
  // child's worker closes the handle, after the wait.
  if (native_.process.IsValid()) {
    WaitForSingleObject(native_.process.Get(), INFINITE);
  }
}

void ChildProcess::Close() {
  std::lock_guard<std::mutex> hold(lock_);
  native_.process.Reset();
  native_.thread.Reset();
}

void CreateChildPipes(ChildPipes& pipes) {
  if (CreateInheritablePipe(pipes.inputRead, pipes.inputWrite)) {
    // The worker's own end must not reach the child, or the child's input never ends.
    SetHandleInformation(pipes.inputWrite.Get(), HANDLE_FLAG_INHERIT, 0);
  } else {
    logging::Err("Error creating stdin pipe.");
  }
  if (CreateInheritablePipe(pipes.outputRead, pipes.outputWrite)) {
    SetHandleInformation(pipes.outputRead.Get(), HANDLE_FLAG_INHERIT, 0);
  } else {
    logging::Err("Error creating stdout pipe.");
  }
}

std::shared_ptr<ChildProcess> LaunchChild(const NativeString& application,
                                          const NativeString& command_line,
                                          const NativeString* working_directory,
                                          ChildPipes& pipes) {
  PROCESS_INFORMATION information{};
  BOOL launched = FALSE;
  if (pipes.IsComplete()) {
    InheritedHandleList inherited(pipes.inputRead.Get(), pipes.outputWrite.Get());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = pipes.inputRead.Get();
    startup.StartupInfo.hStdOutput = pipes.outputWrite.Get();
    startup.StartupInfo.hStdError = pipes.outputWrite.Get();
    startup.lpAttributeList = inherited.List();
    // CreateProcessW may write into the command line.
    std::wstring writable_command_line = command_line;
    launched = inherited.IsReady() &&
               CreateProcessW(application.c_str(), writable_command_line.data(), nullptr, nullptr,
                              TRUE, EXTENDED_STARTUPINFO_PRESENT, nullptr,
                              working_directory ? working_directory->c_str() : nullptr,
                              &startup.StartupInfo, &information);
  }
  pipes.ReleaseChildEnds();
  if (!launched) {
    logging::Err("Error creating process.");
    return nullptr;
  }
  NativeChild native;
  native.process.Reset(information.hProcess);
  native.thread.Reset(information.hThread);
  native.process_id = information.dwProcessId;
  native.thread_id = information.dwThreadId;
  return std::make_shared<ChildProcess>(std::move(native));
}

bool WriteToChild(ChildPipes& pipes, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(pipes.inputWrite.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) ||
        written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

size_t ReadFromChild(ChildPipes& pipes, char* buffer, size_t size) {
  DWORD got = 0;
  // Once every writer has closed its end and the data is drained, the read fails with
  // ERROR_BROKEN_PIPE: that is the end of the output.
  if (!ReadFile(pipes.outputRead.Get(), buffer, static_cast<DWORD>(size), &got, nullptr)) {
    return 0;
  }
  return got;
}

}  // namespace vpn
