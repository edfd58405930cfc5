#ifndef QUORVANTA_STAND_INS_EMBEDDER_STAND_IN_EXPORTS_H_
#define QUORVANTA_STAND_INS_EMBEDDER_STAND_IN_EXPORTS_H_

// What the stand-in embedder library exports beyond the embedder's own functions.

#include "shell/embedder/embedder_api.h"

#ifdef __cplusplus
extern "C" {
#endif

// Called by each plugin stand-in when the program registers it: the transcript of the engine
// that owns `registrar` gets the line "plugin <library> <function> registrar <number>".
void QuorvantaStandInRecordPluginRegistration(const char* library, const char* function,
                                              FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // QUORVANTA_STAND_INS_EMBEDDER_STAND_IN_EXPORTS_H_
