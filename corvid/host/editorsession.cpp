#include "corvid/host/editorsession.h"

namespace corvid::host {

EditorSession::~EditorSession() {
    close();
}

IGraphics* EditorSession::open(Client& client, void* parent, DawKind host, void** nativeWindow) {
    IGraphics* editor = client.ensureEditor();
    if (!editor) return nullptr;
    close();
    void* window = editor->openEditor(parent, nullptr, host, 0);
    if (nativeWindow) *nativeWindow = window;
    if (!window) {
        editor->closeEditor();
        return nullptr;
    }
    client_ = &client;
    return editor;
}

void EditorSession::close() {
    if (!client_) return;
    if (IGraphics* editor = client_->ensureEditor()) editor->closeEditor();
    client_ = nullptr;
}

bool EditorSession::idle() {
    if (!client_) return false;
    IGraphics* editor = client_->ensureEditor();
    if (!editor) return false;
    editor->idleEditor();
    return !editor->editorWindowGone();
}

bool editorSizeWithToken(Client& client, std::int32_t& width, std::int32_t& height) {
    IGraphics* editor = client.tryTakeEditor();
    if (!editor) return false;
    std::int32_t w = 0;
    std::int32_t h = 0;
    editor->editorSize(&w, &h);
    client.releaseEditor();
    width = w;
    height = h;
    return true;
}

} // namespace corvid::host
