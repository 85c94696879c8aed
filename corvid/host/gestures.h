#pragma once
// The editor's gestures on their way to a host, whatever the format. The client's
// parameters report a gesture as begin, one value per movement, end; this keeps
// the pairs: a begin already open or an end with none open never reaches the
// host, a value outside a gesture (a click on a switch) is still sent, and every
// gesture still open when the editor closes or the instance goes away is ended,
// so a drag cut short never leaves the host holding a parameter. While a gesture
// is open, the host's values for that parameter are not taken (HostValues).
//
// Threads: the editor's (which is the host's main thread in every format).

#include "corvid/client/client.h"
#include "corvid/host/hostvalues.h"

#include <cstdint>
#include <vector>

namespace corvid::host {

// The format's side: where a gesture goes in the host's own terms.
class IEditSink {
public:
    virtual ~IEditSink() = default;
    virtual void beginEdit(std::int32_t index) = 0;
    virtual void performEdit(std::int32_t index, double normalized) = 0;
    virtual void endEdit(std::int32_t index) = 0;
};

class Gestures : public IHostCommand {
public:
    // values may be null for formats whose host values do not come on the audio
    // thread; host says which application the adapter reports (hostKind).
    Gestures(std::int32_t parameterCount, HostValues* values, DawKind host = DawKind::unknown);
    ~Gestures() override;
    Gestures(const Gestures&) = delete;
    Gestures& operator=(const Gestures&) = delete;

    // Where gestures go from now on; null sends them nowhere. Open gestures are
    // ended at the old sink first.
    void attach(IEditSink* sink);
    IEditSink* sink() const { return sink_; }
    // Ends every open gesture at the sink.
    void endAll();
    bool isOpen(std::int32_t index) const;

    void beginParameterEdit(std::int32_t index) override;
    void automateParameter(std::int32_t index, float normalized) override;
    void endParameterEdit(std::int32_t index) override;
    // The editor has one size.
    bool requestEditorResize(std::int32_t width, std::int32_t height) override;
    DawKind hostKind() override { return host_; }

private:
    bool valid(std::int32_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < open_.size();
    }

    HostValues* values_;
    DawKind host_;
    IEditSink* sink_ = nullptr;
    std::vector<bool> open_;
};

} // namespace corvid::host
