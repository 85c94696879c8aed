#pragma once
// The editor as an LV2 X11 UI. It reaches the running instance through the host's
// instance-access feature (the LV2_Handle of the plug-in) and embeds the client's
// editor in the host's parent window. Every gesture goes through the host, which
// writes the control port and so records automation; values the host changes
// reach the widgets through the parameters' listeners, from the UI's idle call.

#include "corvid/host/editorsession.h"
#include "corvid/lv2/plugin.h"

#include <lv2/log/log.h>
#include <lv2/ui/ui.h>

#include <cstdint>

namespace corvid::lv2 {

// One open editor of one instance. UI thread only.
class Ui : public host::IEditSink {
public:
    // touch may be null (the host offers no gesture brackets).
    Ui(Instance& instance, LV2UI_Write_Function write, LV2UI_Controller controller,
       const LV2UI_Touch* touch);
    ~Ui() override;
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    // Shows the editor inside parent (an X11 window id; null opens a top-level
    // window) and answers its window id, or null when the plug-in has no editor or no
    // window could be made.
    void* open(void* parent);
    void editorSize(std::int32_t& width, std::int32_t& height);
    // A value the host gives a port: told to the widgets, never written back.
    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer);
    // Non-zero once the editor's window has gone.
    int idle();
    // For hosts that give no parent: the top-level window opened at instantiation
    // closes on hide and opens again on show.
    bool show();
    void hide();

    // Gestures become touch on, the plain value written to the port, touch off.
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, double normalized) override;
    void endEdit(std::int32_t index) override;

private:
    Instance& instance_;
    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Touch* touch_;
    host::EditorSession session_;
    bool hidden_ = false;
};

// Null past the last UI, and for a bundle whose plug-ins have no editor.
const LV2UI_Descriptor* uiDescriptor(const Descriptors& descriptors, std::uint32_t index);

} // namespace corvid::lv2
