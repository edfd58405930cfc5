#ifndef QUORVANTA_STAND_INS_EMBEDDER_ENGINE_WIN32_H_
#define QUORVANTA_STAND_INS_EMBEDDER_ENGINE_WIN32_H_

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/embedder/embedder_api.h"
#include "stand_ins/embedder/messenger.h"
#include "stand_ins/embedder/queues.h"
#include "stand_ins/embedder/status_panel.h"
#include "stand_ins/embedder/transcript.h"
#include "stand_ins/embedder/ui_side.h"

namespace stand_in {
class Engine;
}

// A registrar handle: one per plugin name and engine.
struct FlutterDesktopPluginRegistrar {
  stand_in::Engine* engine;
  std::string name;
  int number;  // 1 for the first name looked up, and so on
};

namespace stand_in {

class ViewWindow;

// The engine behind the embedder's handles. It has no renderer: "running" it means starting the
// UI side, whose script talks to the program through the messenger, and whose transcript the
// view paints. Everything but the messenger's entry points runs on the platform thread, the one
// that creates the view.
class Engine {
 public:
  // Copies everything it keeps from `properties`. Engine arguments select the UI side's script
  // ("--ui-script=<path>") and a file that receives a copy of the transcript
  // ("--ui-transcript=<path>").
  explicit Engine(const FlutterDesktopEngineProperties& properties);
  ~Engine();

  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  FlutterDesktopMessengerRef messenger() const { return messenger_; }
  Transcript& transcript() { return transcript_; }
  StatusPanel& status() { return status_; }

  // Whether the assets folder exists; a relative path is taken from the executable's folder.
  bool AssetsPresent() const;
  const std::wstring& assets_path() const { return assets_path_; }

  FlutterDesktopPluginRegistrarRef Registrar(const std::string& name);
  void ReloadSystemFonts();

  // Starts the UI side, which shows the window and runs its script once the program's start-up is
  // over (when the platform thread next handles its messages).
  void Run(ViewWindow* view, int width, int height);
  // Ends messaging (the messenger becomes unavailable), joins the UI side, and answers every reply
  // still waiting with no data. Further calls do nothing.
  void Stop();

  // Messenger entry points. The first two run on the platform thread; the others on any thread,
  // with the messenger's lock held.
  void SetCallback(const std::string& channel, FlutterDesktopMessageCallback callback,
                   void* user_data);
  void SendToUi(std::string channel, std::vector<uint8_t> bytes, HostReply reply);
  void RespondToUi(uint64_t call_id, std::vector<uint8_t> bytes);

  // Handles one item of the platform thread's queue. It may end with a call into the program that
  // destroys this engine, so nothing may follow that call.
  void Deliver(HostItem item);

 private:
  struct Callback {
    FlutterDesktopMessageCallback function;
    void* user_data;
  };

  void DeliverCall(IncomingCall call);
  void DeliverWindowRequest(const WindowRequest& request);
  void Start();

  std::wstring assets_path_;
  std::vector<std::string> arguments_;
  std::string script_path_;
  Transcript transcript_;
  StatusPanel status_;
  FlutterDesktopMessenger* messenger_;
  UiInbox inbox_;
  std::shared_ptr<HostQueue> host_queue_ = std::make_shared<HostQueue>();
  std::map<std::string, Callback> callbacks_;
  std::map<std::string, std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars_;
  ViewWindow* view_ = nullptr;
  std::unique_ptr<UiSide> ui_side_;
  bool running_ = false;
  bool stopped_ = false;
};

// Writes the registration to the transcript of the registrar's engine; a null or unknown
// registrar is written to standard output.
void RecordPluginRegistration(const char* library, const char* function,
                              FlutterDesktopPluginRegistrarRef registrar);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_ENGINE_WIN32_H_
