#pragma once
// The editor's gestures for a host that takes them only inside its processing
// calls (CLAP's process and flush): an edit sink that keeps begin, value and end
// in order in a ring sized once, written on the editor thread and read on
// whichever single thread the host processes on at the time.
//
// When the host stops taking them the ring fills; then new gestures and values
// are dropped, but room always stays for the end of every gesture that went in,
// so the host never holds a parameter the editor let go of. A gesture whose begin
// was dropped sends neither its values nor its end.

#include "corvid/host/gestures.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvid::host {

struct Edit {
    enum class Kind : std::uint8_t { begin, value, end };
    Kind kind = Kind::value;
    std::int32_t index = 0;
    double normalized = 0.0;
};

class EditQueue final : public IEditSink {
public:
    // Main thread. Room for capacity edits besides the ends kept in reserve.
    EditQueue(std::int32_t parameterCount, std::size_t capacity = 1024);

    // Editor thread.
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, double normalized) override;
    void endEdit(std::int32_t index) override;

    // The reading thread: the oldest edit, or null when there is none; pop()
    // removes it once the host took it.
    const Edit* front() const;
    void pop();
    bool empty() const { return front() == nullptr; }

private:
    bool valid(std::int32_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < begun_.size();
    }
    std::size_t used() const;
    bool push(const Edit& edit, std::size_t keepFree);

    std::vector<Edit> ring_;
    std::atomic<std::size_t> write_{0}; // counts ever written; the editor's
    std::atomic<std::size_t> read_{0};  // counts ever read; the reader's
    // Editor thread: gestures whose begin went in and whose end has not.
    std::vector<bool> begun_;
    std::size_t reserve_;
};

} // namespace corvid::host
