#pragma once
// The plug-in linked into the host's own program instead of loaded from its
// library: the same entry points, found by the linker. For what a loaded library
// cannot hand out (the editor drawn without a display) and for the fuzz target,
// whose instrumented build makes no plug-in library.

#include "tools/aaxhost/host.h"

namespace spatium::host {

Exports linkedPluginExports();

} // namespace spatium::host
