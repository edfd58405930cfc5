#ifndef QUORVANTA_SHELL_EMBEDDER_EMBEDDER_API_H_
#define QUORVANTA_SHELL_EMBEDDER_EMBEDDER_API_H_

// The functions of the UI engine's embedder library (flutter_windows.dll) that this program
// calls. Every handle is opaque. On Windows the window types are the system's own; elsewhere they
// are opaque stand-ins, so that the code above this interface builds and runs natively too.

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#include <windows.h>
typedef HWND FlutterDesktopNativeWindow;
typedef HMONITOR FlutterDesktopMonitor;
typedef UINT FlutterDesktopWindowMessage;
typedef WPARAM FlutterDesktopWParam;
typedef LPARAM FlutterDesktopLParam;
typedef LRESULT FlutterDesktopLResult;
#else
typedef struct FlutterDesktopNativeWindowOpaque* FlutterDesktopNativeWindow;
typedef struct FlutterDesktopMonitorOpaque* FlutterDesktopMonitor;
typedef uint32_t FlutterDesktopWindowMessage;
typedef uintptr_t FlutterDesktopWParam;
typedef intptr_t FlutterDesktopLParam;
typedef intptr_t FlutterDesktopLResult;
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FlutterDesktopEngine* FlutterDesktopEngineRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopMessageResponseHandleOpaque FlutterDesktopMessageResponseHandle;

// What the engine runs. The engine copies everything it keeps during FlutterDesktopEngineCreate.
typedef struct {
  const wchar_t* assets_path;
  const wchar_t* icu_data_path;
  const wchar_t* aot_library_path;
  const char* dart_entrypoint;  // UTF-8; empty for the default entry point
  int dart_entrypoint_argc;
  const char** dart_entrypoint_argv;  // UTF-8; null when there are no arguments
} FlutterDesktopEngineProperties;

// One incoming channel message. Only the bytes and the response handle are read.
typedef struct {
  size_t struct_size;
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

typedef void (*FlutterDesktopMessageCallback)(FlutterDesktopMessengerRef messenger,
                                              const FlutterDesktopMessage* message,
                                              void* user_data);
typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size, void* user_data);

// Engine.
FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* engine_properties);
bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine);
FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);
FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name);
void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine);

// View controller and view. Creating the controller takes the engine over and runs it;
// destroying it ends the view and the engine.
FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(int width, int height,
                                                                   FlutterDesktopEngineRef engine);
void FlutterDesktopViewControllerDestroy(FlutterDesktopViewControllerRef controller);
FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller);
bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, FlutterDesktopNativeWindow window,
    FlutterDesktopWindowMessage message, FlutterDesktopWParam wparam, FlutterDesktopLParam lparam,
    FlutterDesktopLResult* result);
FlutterDesktopNativeWindow FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);

// Display and console.
uint32_t FlutterDesktopGetDpiForMonitor(FlutterDesktopMonitor monitor);
void FlutterDesktopResyncOutputStreams(void);

// Messaging. Incoming messages are delivered on the platform thread; sends, responses, the lock,
// the availability test and the reference functions may be called from any thread.
bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel,
                                 const uint8_t* message, size_t message_size);
bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data);
void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length);
void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data);
FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger);
bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger);
FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // QUORVANTA_SHELL_EMBEDDER_EMBEDDER_API_H_
