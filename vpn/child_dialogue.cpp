#include "vpn/child_dialogue.h"

#include "base/log.h"

namespace vpn {

void ReadChildOutput(ChildPipes& pipes, const std::function<void(std::string_view)>& classify) {
  logging::Out("while acting");
  char buffer[kChunkSize];
  for (;;) {
    const size_t size = ReadFromChild(pipes, buffer, sizeof(buffer));
    if (size == 0) {
      break;
    }
    const std::string_view chunk(buffer, size);
    classify(chunk);
    logging::Write(logging::Stream::kOut, chunk);
    logging::Out("while acting");
  }
  logging::Out("Error to read from running console");
}

void AnswerChild(ChildPipes& pipes, std::string_view answer, std::string_view failure_message) {
  if (!WriteToChild(pipes, answer)) {
    logging::Err(failure_message);
  }
  if (!WriteToChild(pipes, kEnterChar)) {
    logging::Err("Error writing enterChar to process.");
  }
}

void CloseChild(ChildPipes& pipes, ChildProcess* child) {
  pipes.inputWrite.Reset();
  if (child != nullptr) {
    child->WaitForExit();
    child->Close();
  }
  pipes.outputRead.Reset();
  pipes.outputWrite.Reset();
}

}  // namespace vpn
