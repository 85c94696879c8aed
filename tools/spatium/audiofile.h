#pragma once
// Audio file input and output through libsndfile. Output goes to a temporary file
// beside the target and is renamed into place only when complete.

#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;

namespace spatium::host {

class AudioReader {
public:
    // Throws HostError when the file cannot be opened or decoded.
    explicit AudioReader(const std::string& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    std::int32_t channels() const { return channels_; }
    std::int32_t sampleRate() const { return sampleRate_; }
    std::int64_t frames() const { return frames_; }
    // Reads up to frames interleaved frames; throws HostError when the file ends
    // before its declared length or a read fails.
    std::int64_t read(float* interleaved, std::int64_t frames);

private:
    std::string path_;
    sf_private_tag* file_ = nullptr;
    std::int32_t channels_ = 0;
    std::int32_t sampleRate_ = 0;
    std::int64_t frames_ = 0;
    std::int64_t position_ = 0;
};

class AudioWriter {
public:
    // 32-bit float in the container the extension names (.wav, .aif/.aiff, .caf,
    // .w64, .rf64). Throws HostError.
    AudioWriter(const std::string& path, std::int32_t channels, std::int32_t sampleRate);
    // Removes the temporary file unless commit succeeded.
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    void write(const float* interleaved, std::int64_t frames);
    // Closes the file and moves it into place.
    void commit();

private:
    std::string path_;
    std::string tempPath_;
    sf_private_tag* file_ = nullptr;
    bool committed_ = false;
};

// True when the output container is one AudioWriter can produce.
bool isWritableAudioPath(const std::string& path);

} // namespace spatium::host
