#include "stand_ins/embedder/messenger.h"

FlutterDesktopMessenger::~FlutterDesktopMessenger() {
  for (const FlutterDesktopMessageResponseHandle* handle : open_responses) delete handle;
}

namespace stand_in {

const FlutterDesktopMessageResponseHandle* OpenResponse(FlutterDesktopMessenger* messenger,
                                                        uint64_t call_id) {
  auto* handle = new FlutterDesktopMessageResponseHandle{call_id};
  messenger->open_responses.insert(handle);
  return handle;
}

std::optional<uint64_t> CloseResponse(FlutterDesktopMessenger* messenger,
                                      const FlutterDesktopMessageResponseHandle* handle) {
  auto found = messenger->open_responses.find(handle);
  if (found == messenger->open_responses.end()) return std::nullopt;
  const uint64_t call_id = handle->call_id;
  messenger->open_responses.erase(found);
  delete handle;
  return call_id;
}

}  // namespace stand_in
