#pragma once
// When a host opens and closes a plug-in's view: the editor object is made on the
// first open and kept by the client; each open shows its native window in the
// host's parent, and a second open without a close in between replaces the first.

#include "corvid/client/client.h"

#include <cstdint>

namespace corvid::host {

class EditorSession {
public:
    EditorSession() = default;
    ~EditorSession();
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // Editor thread. Shows the client's editor inside parent and answers its native
    // window; null (nothing opened) when the plug-in has no editor or no window
    // could be made (no display).
    IGraphics* open(Client& client, void* parent, DawKind host, void** nativeWindow = nullptr);
    // Editor thread. Closes the window of the last open, if any.
    void close();
    bool isOpen() const { return client_ != nullptr; }
    // Editor thread. The host's periodic wake-up, passed to an open editor. False
    // once its window has gone from under it (closed by the user, or destroyed with
    // the host's parent); the session stays open until close().
    bool idle();

private:
    Client* client_ = nullptr;
};

// Any thread but the editor's: the editor's size, taken with the editor token so it
// never waits. False (width and height untouched) when there is no editor or
// someone else holds it.
bool editorSizeWithToken(Client& client, std::int32_t& width, std::int32_t& height);

} // namespace corvid::host
