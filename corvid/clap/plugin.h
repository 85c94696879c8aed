#pragma once
// One plug-in instance as a CLAP host sees it: the clap_plugin the host calls,
// over the client and the adapter core. Parameters are the client's, by their
// index as ID (stable: the state chunk stores values in that order), in the
// client's plain units; the state is the client's state chunk, the same bytes
// every format saves.
//
// Threads, as the host calls them: process, flush while active, start and stop
// processing and reset run on the audio thread and neither allocate, lock nor
// call the system; everything else runs on the main thread and never waits for
// the audio thread. The editor's gestures go to the host from the next process
// or flush, through a ring the main thread writes and the audio thread reads.

#include "corvid/clap/abi.h"
#include "corvid/client/client.h"
#include "corvid/host/blockrunner.h"
#include "corvid/host/editqueue.h"
#include "corvid/host/gestures.h"
#include "corvid/host/hostvalues.h"

#include <atomic>
#include <memory>

namespace corvid::clap {

// Largest block handed to the client at once; the block runner slices longer ones.
inline constexpr std::int32_t kMaxHostFrames = 1024;

class Gui;

class Plugin final : public host::IEditSink {
public:
    Plugin(std::unique_ptr<Client> client, const clap_host* host,
           const clap_plugin_descriptor* descriptor);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const clap_plugin* clapPlugin() const { return &plugin_; }
    static Plugin& of(const clap_plugin* plugin) {
        return *static_cast<Plugin*>(plugin->plugin_data);
    }

    Client& client() { return *client_; }
    host::HostValues& values() { return values_; }
    host::Gestures& gestures() { return gestures_; }
    const clap_host* host() const { return host_; }
    // The editor's side; null for a plug-in without an editor.
    Gui* gui() { return gui_.get(); }
    // The host's extension, or null when it has none.
    template <class T>
    const T* hostExtension(const char* id) const {
        return host_ && host_->get_extension
                   ? static_cast<const T*>(host_->get_extension(host_, id))
                   : nullptr;
    }
    // True unless the host can tell and says this is not its main thread.
    bool onMainThread() const;

    // host::IEditSink: the editor's gestures, queued for the host.
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, double normalized) override;
    void endEdit(std::int32_t index) override;

    // The calls of clap_plugin and its extensions.
    bool init();
    bool activate(double rate, std::uint32_t maxFrames);
    void deactivate();
    bool startProcessing();
    void stopProcessing();
    void reset();
    clap_process_status process(const clap_process& process);
    const void* extension(const char* id);

    std::uint32_t audioPortCount() const { return 1; }
    bool audioPort(std::uint32_t index, bool isInput, clap_audio_port_info& info) const;
    std::uint32_t configCount() const;
    bool config(std::uint32_t index, clap_audio_ports_config& config) const;
    bool selectConfig(clap_id id);

    std::uint32_t parameterCount() const;
    bool parameterInfo(std::uint32_t index, clap_param_info& info) const;
    bool parameterValue(clap_id id, double& value) const;
    bool valueToText(clap_id id, double value, char* buffer, std::uint32_t capacity) const;
    bool textToValue(clap_id id, const char* text, double& value) const;
    void flush(const clap_input_events* in, const clap_output_events* out);

    bool saveState(const clap_ostream& stream);
    bool loadState(const clap_istream& stream);

    std::uint32_t latency() const;
    std::uint32_t tail() const;

    // Main thread: tells the widgets what the host changed.
    void deliverHostValues() { values_.deliver(); }

private:
    class InputEvents;
    friend class InputEvents;

    void applyEvent(const clap_event_header& event);
    // Audio thread (or a flush): the editor's queued gestures into the host's list,
    // as many as it takes.
    void sendEdits(const clap_output_events* out);
    static void clearOutputs(const clap_process& process);

    clap_plugin plugin_{};
    const clap_host* host_;
    std::unique_ptr<Client> client_;
    host::HostValues values_;
    host::Gestures gestures_;
    host::EditQueue edits_;
    host::BlockRunner runner_;
    std::unique_ptr<Gui> gui_;
    const clap_host_params* hostParams_ = nullptr;
    const clap_host_thread_check* threadCheck_ = nullptr;

    std::int32_t inputChannels_ = 2; // of the layout the host selected
    double sampleRate_ = 44100.0;
    bool active_ = false;
    std::atomic<bool> processing_{false};
};

} // namespace corvid::clap
