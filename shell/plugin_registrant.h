#ifndef QUORVANTA_SHELL_PLUGIN_REGISTRANT_H_
#define QUORVANTA_SHELL_PLUGIN_REGISTRANT_H_

#include "shell/embedder/plugin_registry.h"

// Registers the UI's native plugins on `registry`, in their fixed order. Each plugin library's
// registration function gets the registrar that the registry returned for the plugin's name,
// unchanged and untested (null included); "SentryFlutterPlugin" is looked up, and nothing is
// registered for it.
void RegisterAllPlugins(flutter::PluginRegistry* registry);

#endif  // QUORVANTA_SHELL_PLUGIN_REGISTRANT_H_
