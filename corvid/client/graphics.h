#pragma once
// The editor as the client sees it. The editor object outlives its native window:
// the host may open and close the view many times.

#include "corvid/client/daw.h"

#include <cstdint>

namespace corvid {

class IGraphics {
public:
    virtual ~IGraphics() = default;

    // Editor thread. Creates the native window inside parentWindow and returns it.
    virtual void* openEditor(void* parentWindow, void* controlInfo, DawKind host,
                             std::int32_t backend) = 0;
    // Editor thread. Destroys the native window; the object stays for a later open.
    virtual void closeEditor() = 0;
    // Any thread holding the editor token. Current size in pixels.
    virtual void editorSize(std::int32_t* width, std::int32_t* height) = 0;
    // Editor thread, from the host's periodic idle call. Handles the native window's
    // queued events without waiting; windows whose events reach them through the
    // host's own message loop have nothing to do here.
    virtual void idleEditor() {}
    // Editor thread. True once the native window went away without closeEditor: the
    // user closed a top-level window, or the host destroyed the parent it lived in.
    virtual bool editorWindowGone() { return false; }
    // Editor thread. A descriptor that turns readable when the native window has
    // events (Linux), for hosts that run the editor from their own loop; -1 when
    // there is none or no window is open.
    virtual int editorEventDescriptor() { return -1; }
};

} // namespace corvid
