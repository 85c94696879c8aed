#include "tools/spatium/audiofile.h"

#include "tools/aaxhost/host.h"
#include "tools/aaxhost/paths.h"

#if defined(_WIN32)
// sf_wchar_open, which opens a file by its UTF-16 name, needs both.
#include <windows.h>
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace spatium::host {

namespace {

std::string lowerExtension(const std::string& path) {
    std::string ext = utf8FromPath(pathFromUtf8(path).extension());
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

int containerFor(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == ".wav") return SF_FORMAT_WAV;
    if (ext == ".aif" || ext == ".aiff") return SF_FORMAT_AIFF;
    if (ext == ".caf") return SF_FORMAT_CAF;
    if (ext == ".w64") return SF_FORMAT_W64;
    if (ext == ".rf64") return SF_FORMAT_RF64;
    return 0;
}

// The library's text for an error, without the line break that Windows system
// messages end in, so the host's one-line messages stay on one line.
std::string reasonText(const char* text) {
    std::string reason = text != nullptr ? text : "unknown error";
    while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back())))
        reason.pop_back();
    return reason;
}

SNDFILE* openSoundFile(const std::string& path, int mode, SF_INFO* info) {
#if defined(_WIN32)
    return sf_wchar_open(pathFromUtf8(path).c_str(), mode, info);
#else
    return sf_open(path.c_str(), mode, info);
#endif
}

} // namespace

AudioReader::AudioReader(const std::string& path) : path_(path) {
    std::error_code error;
    const std::filesystem::path native = pathFromUtf8(path);
    if (!std::filesystem::exists(native, error)) throw HostError(path + ": no such file");
    if (std::filesystem::is_directory(native, error)) throw HostError(path + ": is a directory");
    SF_INFO info{};
    file_ = openSoundFile(path, SFM_READ, &info);
    if (!file_)
        throw HostError(path + ": not a readable audio file (" + reasonText(sf_strerror(nullptr)) +
                        ")");
    channels_ = info.channels;
    sampleRate_ = info.samplerate;
    frames_ = info.frames;
}

AudioReader::~AudioReader() {
    if (file_) sf_close(file_);
}

std::int64_t AudioReader::read(float* interleaved, std::int64_t frames) {
    const std::int64_t wanted = std::min(frames, frames_ - position_);
    if (wanted <= 0) return 0;
    const sf_count_t got = sf_readf_float(file_, interleaved, wanted);
    if (got < wanted) {
        const std::string reason = sf_error(file_)
                                       ? std::string(" (") + reasonText(sf_strerror(file_)) + ")"
                                       : std::string();
        throw HostError(path_ + ": the audio data ends early, after " +
                        std::to_string(position_ + std::max<sf_count_t>(got, 0)) + " of " +
                        std::to_string(frames_) + " frames" + reason);
    }
    position_ += got;
    return got;
}

bool isWritableAudioPath(const std::string& path) {
    return containerFor(path) != 0;
}

AudioWriter::AudioWriter(const std::string& path, std::int32_t channels, std::int32_t sampleRate)
    : path_(path) {
    const int container = containerFor(path);
    if (container == 0)
        throw HostError(path + ": unknown output type; use .wav, .aif, .aiff, .caf, .w64 or .rf64");
    tempPath_ = temporaryPathFor(path);
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = container | SF_FORMAT_FLOAT;
    file_ = openSoundFile(tempPath_, SFM_WRITE, &info);
    if (!file_) {
        const std::string reason = reasonText(sf_strerror(nullptr));
        // The library may have created the file before it failed; no destructor
        // runs for a constructor that throws.
        std::error_code error;
        std::filesystem::remove(pathFromUtf8(tempPath_), error);
        throw HostError("cannot write " + path + ": " + reason);
    }
}

AudioWriter::~AudioWriter() {
    if (file_) sf_close(file_);
    if (!committed_) {
        std::error_code error;
        std::filesystem::remove(pathFromUtf8(tempPath_), error);
    }
}

void AudioWriter::write(const float* interleaved, std::int64_t frames) {
    if (frames <= 0) return;
    if (sf_writef_float(file_, interleaved, frames) != frames)
        throw HostError("cannot write " + path_ + ": " + reasonText(sf_strerror(file_)));
}

void AudioWriter::commit() {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0)
        throw HostError("cannot write " + path_ + ": " + reasonText(sf_error_number(closed)));
    std::error_code error;
    std::filesystem::rename(pathFromUtf8(tempPath_), pathFromUtf8(path_), error);
    if (error) throw HostError("cannot write " + path_ + ": " + error.message());
    committed_ = true;
}

} // namespace spatium::host
