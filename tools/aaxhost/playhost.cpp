#include "tools/aaxhost/playhost.h"

#include "corvid/core/fpcontrol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace spatium::hostfuzz {

namespace {

using host::HostString;
using host::Instance;
using host::Plugin;

constexpr std::size_t kMaxInstances = 3;
constexpr std::int32_t kMaxHostBlock = 2048;
constexpr AAX_CTypeID kStateChunkID = AAX_FourCC('C', 'o', 'r', 'v');
constexpr std::size_t kChunkHeaderSize = 24;
constexpr std::size_t kPresetBlobHeaderSize = 56;

// Rates a host may ask for, the served ones and others.
constexpr std::array<double, 12> kRates{44100.0, 48000.0, 88200.0, 96000.0,  176400.0, 192000.0,
                                        22050.0, 8000.0,  1.0,     384000.0, 0.0,      -48000.0};
constexpr std::array<std::uint32_t, 4> kStems{AAX_eStemFormat_Mono, AAX_eStemFormat_Stereo,
                                              0x00030003u, 0u};
// MXCSR values a host may run with: its default, flush-to-zero, round-up.
constexpr std::array<std::uint32_t, 3> kHostMxcsr{0x1F80u, 0x9FC0u, 0x5F80u};

constexpr std::array<const char*, 10> kOperationNames{
    "create",          "destroy",     "set parameter", "text round trip", "save and restore",
    "restore damaged", "load preset", "render",        "change settings", "editor"};

// Bounded reads of the script; an exhausted script reads zeros.
class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t word() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
    double unit() { return word() / 65535.0; }
    template <class T, std::size_t N>
    const T& pick(const std::array<T, N>& table) {
        return table[byte() % N];
    }
    // A value a host might send as normalised: mostly in range, sometimes not.
    double normalized() {
        switch (byte() % 8) {
        case 0:
            return std::numeric_limits<double>::quiet_NaN();
        case 1:
            return std::numeric_limits<double>::infinity();
        case 2:
            return -0.25;
        case 3:
            return 1.75;
        default:
            return unit();
        }
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

struct Live {
    std::unique_ptr<Instance> instance;
    double rate = 48000.0;
    std::uint32_t inputStem = AAX_eStemFormat_Mono;
    std::uint32_t outputStem = AAX_eStemFormat_Stereo;
    AAX_IACFEffectGUI* gui = nullptr;
    bool windowOpen = false;
};

// A host window the editor opens its child in. The fuzzer has no display, so only
// the tests with an X server hand out real parents.
class ViewContainer final : public AAX_IACFViewContainer {
public:
    AAX_EViewContainer_Type GetType() const override { return AAX_eViewContainer_Type_NULL; }
    // No parent: the editor opens as a top-level window.
    void* GetPtr() const override { return nullptr; }
};

class Player {
public:
    Player(Plugin& plugin, const PlayOptions& options) : plugin_(plugin), options_(options) {
        parameterCount_ = 0;
    }
    ~Player() {
        for (Live& live : lives_) closeGui(live);
    }

    void play(Script& script) {
        while (!script.done()) {
            hostFp_ = script.pick(kHostMxcsr);
            corvid::FpEnvironment env = corvid::readFpEnvironment();
            env.mxcsr = hostFp_;
            corvid::writeFpEnvironment(env);
            const std::uint8_t op = script.byte();
            if (options_.trace) options_.trace(kOperationNames[op % 10]);
            switch (op % 10) {
            case 0:
                create(script);
                break;
            case 1:
                destroy(script);
                break;
            case 2:
                setParameter(script);
                break;
            case 3:
                roundTrip(script);
                break;
            case 4:
                saveAndRestore(script);
                break;
            case 5:
                restoreDamaged(script);
                break;
            case 6:
                loadPreset(script);
                break;
            case 7:
                render(script);
                break;
            case 8:
                changeSettings(script);
                break;
            case 9:
                editor(script);
                break;
            }
            checkFp(op % 10);
        }
        corvid::FpEnvironment env = corvid::readFpEnvironment();
        env.mxcsr = 0x1F80u;
        corvid::writeFpEnvironment(env);
    }

private:
    void fail(const std::string& what) { options_.fail(what); }

    void checkFp(int op) {
        const corvid::FpEnvironment after = corvid::readFpEnvironment();
        // The low six bits are exception flags that arithmetic may raise.
        if ((after.mxcsr & 0xFFC0u) != (hostFp_ & 0xFFC0u))
            fail("operation " + std::to_string(op) + " left MXCSR " + host::hexText(after.mxcsr));
    }

    Live* pickLive(Script& script) {
        if (lives_.empty()) return nullptr;
        return &lives_[script.byte() % lives_.size()];
    }

    void create(Script& script) {
        if (lives_.size() >= kMaxInstances) return;
        const auto& components = plugin_.effect().components;
        const auto& component = components[script.byte() % components.size()];
        Live live;
        live.rate = script.pick(kRates);
        live.instance = std::make_unique<Instance>(plugin_, component, live.rate);
        live.inputStem =
            component.inputChannels() == 1 ? AAX_eStemFormat_Mono : AAX_eStemFormat_Stereo;
        parameterCount_ = live.instance->parameterCount();
        if (parameterCount_ <= 0) fail("an instance with no parameters");
        lives_.push_back(std::move(live));
    }

    void destroy(Script& script) {
        if (lives_.empty()) return;
        const std::size_t i = script.byte() % lives_.size();
        closeGui(lives_[i]);
        lives_.erase(lives_.begin() + static_cast<std::ptrdiff_t>(i));
    }

    // An ID as a host could send it, and whether it names a parameter.
    std::string pickID(Script& script, bool& valid) {
        const std::uint8_t kind = script.byte();
        valid = false;
        switch (kind % 8) {
        case 0:
            return "";
        case 1:
            return std::to_string(parameterCount_);
        case 2:
            return "-1";
        case 3:
            return std::to_string(script.byte()) + "x";
        case 4:
            return "99999999999999999999";
        case 5:
            return "3 ";
        default:
            valid = true;
            return std::to_string(script.byte() % std::max(parameterCount_, 1));
        }
    }

    void setParameter(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        bool valid = false;
        const std::string id = pickID(script, valid);
        const double value = script.normalized();
        AAX_IACFEffectParameters& p = live->instance->parameters();
        const AAX_Result result = (script.byte() & 1)
                                      ? p.SetParameterNormalizedValue(id.c_str(), value)
                                      : p.SetParameterNormalizedRelative(id.c_str(), value);
        expectResult("setting parameter '" + id + "'", result, valid);
        if (valid) {
            double stored = -1.0;
            p.GetParameterNormalizedValue(id.c_str(), &stored);
            if (!(stored >= 0.0 && stored <= 1.0))
                fail("parameter " + id + " holds " + std::to_string(stored) + " after " +
                     std::to_string(value));
        }
    }

    void expectResult(const std::string& what, AAX_Result result, bool valid) {
        if (valid && result != AAX_SUCCESS) fail(what + " failed with " + std::to_string(result));
        if (!valid && result != AAX_ERROR_INVALID_PARAMETER_ID)
            fail(what + " answered " + std::to_string(result) + " for an unknown ID");
    }

    // A parameter's text read back gives the same text: what a host shows is what it
    // stores when the user types it in again.
    void roundTrip(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        bool valid = false;
        const std::string id = pickID(script, valid);
        AAX_IACFEffectParameters& p = live->instance->parameters();
        HostString name;
        expectResult("name of '" + id + "'", p.GetParameterName(id.c_str(), &name), valid);
        HostString text;
        const std::int32_t length = 1 + script.byte() % 40;
        const AAX_Result r = p.GetParameterValueString(id.c_str(), &text, length);
        expectResult("text of '" + id + "'", r, valid);
        if (!valid) return;
        if (text.str().size() > static_cast<std::size_t>(length))
            fail("text of " + id + " longer than the " + std::to_string(length) + " asked for");
        HostString full;
        p.GetParameterValueString(id.c_str(), &full, 64);
        double value = 0.0;
        if (p.GetParameterValueFromString(id.c_str(), &value, full) != AAX_SUCCESS)
            fail("parameter " + id + " cannot read its own text '" + full.str() + "'");
        HostString again;
        if (p.GetParameterStringFromValue(id.c_str(), value, &again, 64) != AAX_SUCCESS ||
            withoutNegativeZero(again.str()) != withoutNegativeZero(full.str()))
            fail("parameter " + id + " text '" + full.str() + "' reads back as '" + again.str() +
                 "'");
        // Arbitrary text fails cleanly or gives a value in range.
        const HostString junk(
            std::string(1 + script.byte() % 70, static_cast<char>(' ' + script.byte() % 95)));
        double parsed = -1.0;
        const AAX_Result j = p.GetParameterValueFromString(id.c_str(), &parsed, junk);
        if (j == AAX_SUCCESS && !(parsed >= 0.0 && parsed <= 1.0))
            fail("text '" + junk.str() + "' parsed out of range");
        if (j != AAX_SUCCESS && j != AAX_ERROR_INVALID_STRING_CONVERSION)
            fail("text '" + junk.str() + "' answered " + std::to_string(j));
    }

    // "-0.0" (a value just below zero, rounded for display) reads as zero and shows
    // as "0.0": the same setting.
    static std::string withoutNegativeZero(const std::string& text) {
        if (!text.empty() && text[0] == '-' && text.find_first_of("123456789") == std::string::npos)
            return text.substr(1);
        return text;
    }

    void saveAndRestore(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        const std::vector<std::uint8_t> saved = live->instance->stateChunk();
        Live* other = pickLive(script);
        if (other->instance->setStateChunk(saved) != AAX_SUCCESS)
            fail("an instance refused a chunk another one wrote");
        // Curved mappings may move a value by an ulp on the way through the plain
        // value; more than that is a setting the session lost.
        const std::vector<std::uint8_t> back = other->instance->stateChunk();
        if (!sameSession(saved, back)) fail("a restored chunk saves back different values");
        AAX_CBoolean same = 0;
        AAX_SPlugInChunk header;
        std::vector<std::uint8_t> copy = back;
        header.fChunkID = kStateChunkID;
        header.fSize = static_cast<std::int32_t>(copy.size());
        header.fData = copy.data();
        if (other->instance->parameters().CompareActiveChunk(&header, &same) != AAX_SUCCESS ||
            !same)
            fail("an instance does not recognise its own chunk");
        // A host buffer too small for the chunk is refused, not overrun.
        std::vector<std::uint8_t> small(saved.size() / 2 + 1, 0xEE);
        AAX_SPlugInChunk tight;
        tight.fChunkID = kStateChunkID;
        tight.fSize = static_cast<std::int32_t>(small.size() - 1);
        tight.fData = small.data();
        if (live->instance->parameters().GetChunk(kStateChunkID, &tight) == AAX_SUCCESS)
            fail("GetChunk wrote a chunk into a buffer too small for it");
        if (small.back() != 0xEE) fail("GetChunk wrote past the host's buffer");
    }

    static bool sameSession(const std::vector<std::uint8_t>& a,
                            const std::vector<std::uint8_t>& b) {
        if (a.size() != b.size() || a.size() < kChunkHeaderSize) return false;
        if (std::memcmp(a.data(), b.data(), kChunkHeaderSize) != 0) return false;
        for (std::size_t at = kChunkHeaderSize; at + 4 <= a.size(); at += 4) {
            float x = 0.0f, y = 0.0f;
            std::memcpy(&x, a.data() + at, 4);
            std::memcpy(&y, b.data() + at, 4);
            // A value that no plain value can hold (a denormal, minus zero) comes back
            // as its nearest one: within a millionth, the same setting.
            if (!(std::fabs(x - y) <= 1e-6f)) return false;
        }
        return true;
    }

    bool headerRefused(const std::vector<std::uint8_t>& chunk) const {
        if (chunk.size() < kChunkHeaderSize) return true;
        static constexpr std::uint8_t kMagic[4] = {0x0B, 0x20, 0xBA, 0x92};
        if (std::memcmp(chunk.data(), kMagic, 4) != 0) return true;
        // The header's words are little-endian.
        auto word = [&](std::size_t at) {
            std::uint32_t u = 0;
            for (int k = 3; k >= 0; --k) u = u << 8 | chunk[at + static_cast<std::size_t>(k)];
            return static_cast<std::int32_t>(u);
        };
        const std::int32_t preset = word(16);
        return word(4) > 0 || preset < 0 || preset >= 32;
    }

    void restoreDamaged(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        std::vector<std::uint8_t> chunk = live->instance->stateChunk();
        const std::vector<std::uint8_t> before = chunk;
        switch (script.byte() % 4) {
        case 0:
            chunk.resize(script.byte() % (chunk.size() + 8));
            break;
        case 1:
            for (int i = 0, n = 1 + script.byte() % 8; i < n; ++i)
                chunk[script.word() % chunk.size()] ^= static_cast<std::uint8_t>(1 + script.byte());
            break;
        case 2:
            chunk.insert(chunk.end(), script.byte(), script.byte());
            break;
        case 3:
            chunk.resize(kChunkHeaderSize + script.byte() % 8);
            chunk[20] = 0xFF; // a value count far beyond the data
            break;
        }
        const AAX_Result result = live->instance->setStateChunk(chunk);
        if (result != AAX_SUCCESS && result != AAX_ERROR_INVALID_CHUNK_ID &&
            result != AAX_ERROR_INCORRECT_CHUNK_SIZE)
            fail("a damaged chunk answered " + std::to_string(result));
        // A chunk refused for its header (size, magic, a newer format, an unknown
        // preset) changes nothing; one cut inside its values keeps what came before.
        if (result != AAX_SUCCESS && headerRefused(chunk) && live->instance->stateChunk() != before)
            fail("a chunk with a broken header changed the instance");
    }

    void loadPreset(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        if (presets_.empty()) presets_ = plugin_.presets();
        if (presets_.empty()) return;
        const std::size_t p = script.byte() % presets_.size();
        const std::vector<std::uint8_t>& blob = presets_[p].blob;
        if (blob.size() <= kPresetBlobHeaderSize) {
            fail("a preset blob without its chunk");
            return;
        }
        const std::vector<std::uint8_t> chunk(blob.begin() + kPresetBlobHeaderSize, blob.end());
        if (live->instance->setStateChunk(chunk) != AAX_SUCCESS) fail("a factory preset failed");
        const std::vector<std::uint8_t> state = live->instance->stateChunk();
        if (state.size() <= 16 || state[16] != p) fail("a factory preset left another index");
    }

    void render(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        const std::int32_t frames = script.word() % (kMaxHostBlock + 1);
        const std::uint8_t wiring = script.byte() % 5;
        const std::size_t n = static_cast<std::size_t>(frames) + 1;
        for (auto* buffer : {&inL_, &inR_, &outL_, &outR_}) buffer->assign(n, 0.0f);
        std::uint32_t seed = script.word() + 1u;
        const float level = static_cast<float>(script.byte()) / 64.0f;
        lastLevel_ = level;
        for (std::size_t i = 0; i < n; ++i) {
            seed = seed * 1664525u + 1013904223u;
            inL_[i] = level * (static_cast<float>(seed >> 9) / 8388608.0f - 0.5f);
            inR_[i] = -0.5f * inL_[i];
        }
        // Stems report up to three channels here; the third buffers are spares.
        spareIn_.assign(n, 0.25f);
        spareOut_.assign(n, 0.0f);
        const float* inputs[3] = {inL_.data(), inR_.data(), spareIn_.data()};
        float* outputs[3] = {outL_.data(), outR_.data(), spareOut_.data()};
        // Hosts that process in place hand the same buffers in and out.
        switch (wiring) {
        case 1:
            inputs[0] = outputs[0] = inL_.data();
            break;
        case 2:
            inputs[0] = outputs[0] = inL_.data();
            inputs[1] = outputs[1] = inR_.data();
            break;
        case 3:
            inputs[0] = outputs[1] = inL_.data();
            break;
        case 4:
            inputs[1] = outputs[0] = inR_.data();
            break;
        default:
            break;
        }
        // The render callback takes at most its buffer length at a time.
        for (std::int32_t done = 0; done < frames;) {
            const std::int32_t block = std::min<std::int32_t>(1024, frames - done);
            const float* in[3] = {inputs[0] + done, inputs[1] + done, inputs[2] + done};
            float* out[3] = {outputs[0] + done, outputs[1] + done, outputs[2] + done};
            live->instance->render(in, out, block);
            done += block;
        }
        for (std::int32_t i = 0; i < frames; ++i) {
            const auto k = static_cast<std::size_t>(i);
            if (!std::isfinite(outputs[0][k]) || !std::isfinite(outputs[1][k])) {
                fail("non-finite output from finite input at frame " + std::to_string(i) + " of " +
                     std::to_string(frames) + ", wiring " + std::to_string(wiring) + ", " +
                     describe(*live));
                return;
            }
        }
    }

    // The instance's settings, for a failure report.
    std::string describe(Live& live) {
        std::string text = "rate " + std::to_string(live.rate) + ", stems " +
                           host::hexText(live.inputStem) + "/" + host::hexText(live.outputStem) +
                           ", input level " + std::to_string(lastLevel_) + ", parameters";
        for (std::int32_t i = 0; i < parameterCount_; ++i)
            text += " " + live.instance->valueText(std::to_string(i));
        return text;
    }

    void changeSettings(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        live->rate = script.pick(kRates);
        live->instance->setSampleRate(live->rate);
        if (script.byte() & 1) {
            live->inputStem = script.pick(kStems);
            live->outputStem = script.pick(kStems);
            live->instance->setStemFormats(live->inputStem, live->outputStem);
        }
    }

    void editor(Script& script) {
        Live* live = pickLive(script);
        if (!live) return;
        const AAX_CEffectGUIFactory factory = plugin_.effect().createGUI;
        if (!factory) return;
        switch (script.byte() % 4) {
        case 0:
            if (!live->gui) {
                live->gui = factory();
                if (!live->gui) {
                    fail("the plug-in could not create its editor object");
                    return;
                }
                live->gui->Initialize(&live->instance->controller());
            }
            break;
        case 1:
            closeGui(*live);
            break;
        case 2:
            if (live->gui) {
                AAX_Point size;
                if (live->gui->GetViewSize(&size) != AAX_SUCCESS) fail("no editor size");
                if (live->gui->GetViewSize(nullptr) == AAX_SUCCESS)
                    fail("a null size answered success");
            }
            break;
        case 3:
            if (live->gui && options_.openWindows) {
                live->gui->SetViewContainer(live->windowOpen ? nullptr : &container_);
                live->windowOpen = !live->windowOpen;
            }
            break;
        }
    }

    void closeGui(Live& live) {
        if (!live.gui) return;
        if (live.windowOpen) live.gui->SetViewContainer(nullptr);
        live.windowOpen = false;
        live.gui->Uninitialize();
        live.gui->Release();
        live.gui = nullptr;
    }

    Plugin& plugin_;
    const PlayOptions& options_;
    std::vector<Live> lives_;
    std::vector<host::PresetBlob> presets_;
    std::int32_t parameterCount_;
    std::uint32_t hostFp_ = 0x1F80u;
    float lastLevel_ = 0.0f;
    std::vector<float> inL_, inR_, outL_, outR_, spareIn_, spareOut_;
    ViewContainer container_;
};

} // namespace

void playHostScript(host::Plugin& plugin, const std::uint8_t* data, std::size_t size,
                    const PlayOptions& options) {
    Script script(data, size);
    Player player(plugin, options);
    player.play(script);
}

} // namespace spatium::hostfuzz
