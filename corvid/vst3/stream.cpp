#include "corvid/vst3/stream.h"

namespace corvid::vst3 {

bool readToEnd(IBStream* stream, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (!stream) return false;
    std::uint8_t buffer[4096];
    for (;;) {
        int32 got = 0;
        const tresult result = stream->read(buffer, static_cast<int32>(sizeof buffer), &got);
        // Hosts end a stream with a short read, a read of nothing or a failure;
        // whatever came before is judged by the chunk reader.
        if (result != kResultOk || got <= 0) return true;
        if (got > static_cast<int32>(sizeof buffer)) return false;
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > kMaxStateBytes) return false;
    }
}

bool writeAll(IBStream* stream, const std::vector<std::uint8_t>& bytes) {
    if (!stream) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        int32 wrote = 0;
        auto* data = const_cast<std::uint8_t*>(bytes.data() + done);
        const tresult result = stream->write(data, static_cast<int32>(bytes.size() - done), &wrote);
        if (result != kResultOk || wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace corvid::vst3
