// One plugin stand-in. The build makes a library of this file for each plugin, naming the library
// (PLUGIN_LIBRARY) and its registration function (PLUGIN_REGISTER_FUNCTION). Registering only
// records the call and its registrar in the engine's transcript.

#include "shell/embedder/embedder_api.h"
#include "stand_ins/embedder/stand_in_exports.h"

#define QUORVANTA_TEXT(name) #name
#define QUORVANTA_NAME_TEXT(name) QUORVANTA_TEXT(name)

extern "C" __declspec(dllexport) void PLUGIN_REGISTER_FUNCTION(
    FlutterDesktopPluginRegistrarRef registrar) {
  QuorvantaStandInRecordPluginRegistration(
      PLUGIN_LIBRARY, QUORVANTA_NAME_TEXT(PLUGIN_REGISTER_FUNCTION), registrar);
}
