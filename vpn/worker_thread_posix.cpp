#include <pthread.h>

#include <memory>

#include "vpn/worker_thread.h"

namespace vpn {
namespace {

void* RunBody(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return nullptr;
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    return false;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  pthread_t thread;
  const bool started = pthread_create(&thread, &attributes, &RunBody, owned.get()) == 0;
  pthread_attr_destroy(&attributes);
  if (started) {
    // The thread owns the body now.
    static_cast<void>(owned.release());
  }
  return started;
}

}  // namespace vpn
