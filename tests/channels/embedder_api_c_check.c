/* Compiled as C, so that the embedder's interface stays a C interface. */
#include "shell/embedder/embedder_api.h"

size_t EmbedderMessageRecordSizeInC(void) { return sizeof(FlutterDesktopMessage); }
