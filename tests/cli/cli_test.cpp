// The spatium command-line host as a user runs it: real audio files in, files
// and messages out, and nothing left behind when it refuses.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string readText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("spatium-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    Outcome run(const std::string& args, const std::string& exe = SPATIUM_EXE) const {
        Outcome r;
        const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
        const std::string command = "'" + exe + "' " + args + " >'" + out.string() + "' 2>'" +
                                    err.string() + "' </dev/null";
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readText(out);
        r.err = readText(err);
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    // Everything in the test folder except the named files.
    std::vector<std::string> strayFiles(const std::vector<std::string>& expected) const {
        std::vector<std::string> stray;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end())
                stray.push_back(name);
        }
        return stray;
    }

    fs::path dir_;
};

void writeAudio(const fs::path& file, int channels, int rate, int frames, int format) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<float> data(static_cast<std::size_t>(frames * channels));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[static_cast<std::size_t>(i * channels + c)] =
                0.5f * static_cast<float>(std::sin(0.05 * i * (c + 1)));
    ASSERT_EQ(sf_writef_float(f, data.data(), frames), frames);
    sf_close(f);
}

struct Audio {
    SF_INFO info{};
    std::vector<float> samples;
};

Audio readAudio(const fs::path& file) {
    Audio a;
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &a.info);
    if (!f) return a;
    a.samples.resize(static_cast<std::size_t>(a.info.frames * a.info.channels));
    sf_readf_float(f, a.samples.data(), a.info.frames);
    sf_close(f);
    return a;
}

double energy(const std::vector<float>& s) {
    double e = 0.0;
    for (float v : s) e += static_cast<double>(v) * v;
    return e;
}

} // namespace

TEST_F(CliTest, HelpForEveryCommand) {
    for (const char* args : {"--help", "describe --help", "params --help", "presets --help",
                             "render --help", "state --help"}) {
        SCOPED_TRACE(args);
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("usage: spatium"), std::string::npos);
    }
    const Outcome none = run("");
    EXPECT_NE(none.status, 0);
    const Outcome bad = run("frobnicate");
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("unknown command"), std::string::npos);
}

TEST_F(CliTest, DescribeParamsAndPresets) {
    const Outcome text = run("describe");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("'@s12' 0x40733132"), std::string::npos);
    EXPECT_NE(text.out.find("'@t22' 0x40743232"), std::string::npos);
    EXPECT_NE(text.out.find("0x00010002"), std::string::npos);
    const Outcome json = run("describe --json");
    ASSERT_EQ(json.status, 0);
    EXPECT_NE(json.out.find("\"fourCC\": \"@t12\""), std::string::npos);
    EXPECT_NE(json.out.find("\"name\": \"latency\""), std::string::npos);

    const Outcome params = run("params --json --set Pan=-45 --preset 0");
    ASSERT_EQ(params.status, 0) << params.err;
    std::size_t count = 0;
    for (std::size_t at = params.out.find("\"id\""); at != std::string::npos;
         at = params.out.find("\"id\"", at + 1))
        ++count;
    EXPECT_EQ(count, 42u);
    EXPECT_NE(params.out.find("\"text\": \"-45.00\""), std::string::npos);

    const Outcome presets = run("presets --export '" + path("tfx").string() + "'");
    ASSERT_EQ(presets.status, 0) << presets.err;
    EXPECT_NE(presets.out.find("\"Far-Center\""), std::string::npos);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(path("tfx"))) {
        ++files;
        EXPECT_EQ(fs::file_size(entry.path()), 248u) << entry.path();
    }
    EXPECT_EQ(files, 32u);
    // An exported preset reads like a saved state.
    const Outcome blob =
        run("state show --json '" + (path("tfx") / "08-Far-Center.tfx").string() + "'");
    ASSERT_EQ(blob.status, 0) << blob.err;
    EXPECT_NE(blob.out.find("\"presetIndex\": 8"), std::string::npos);
    EXPECT_NE(blob.out.find("\"text\": \"-18.00\""), std::string::npos);
}

TEST_F(CliTest, RendersTheDemo) {
    const Outcome r = run("render -o '" + path("demo.wav").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const Audio a = readAudio(path("demo.wav"));
    EXPECT_EQ(a.info.channels, 2);
    EXPECT_EQ(a.info.samplerate, 48000);
    EXPECT_EQ(a.info.frames, 6 * 48000 + 4800);
    EXPECT_EQ(a.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_GT(energy(a.samples), 1.0);
    EXPECT_TRUE(r.err.empty()) << "no progress bar when stderr is not a terminal: " << r.err;
}

TEST_F(CliTest, RendersRealFilesAndLinesUpWithTheInput) {
    struct Case {
        const char* name;
        int channels, rate, format;
    };
    for (const Case& c : {Case{"mono44.wav", 1, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                          Case{"stereo48.flac", 2, 48000, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
                          Case{"stereo96.wav", 2, 96000, SF_FORMAT_WAV | SF_FORMAT_FLOAT}}) {
        SCOPED_TRACE(c.name);
        const int frames = 20000;
        writeAudio(path(c.name), c.channels, c.rate, frames, c.format);
        const std::string in = "'" + path(c.name).string() + "'";
        const Outcome r = run("render " + in + " -o '" + path("out.wav").string() +
                              "' --block 700 --set \"Dry / Wet=50\" --set Pan=-45");
        ASSERT_EQ(r.status, 0) << r.err;
        const Outcome raw =
            run("render " + in + " -o '" + path("raw.wav").string() +
                "' --block 700 --set \"Dry / Wet=50\" --set Pan=-45 --no-compensate");
        ASSERT_EQ(raw.status, 0) << raw.err;
        const Audio out = readAudio(path("out.wav"));
        const Audio rawOut = readAudio(path("raw.wav"));
        const auto tail = static_cast<sf_count_t>(std::lround(0.1 * c.rate));
        EXPECT_EQ(out.info.frames, frames + tail);
        EXPECT_EQ(rawOut.info.frames, frames + tail);
        EXPECT_EQ(out.info.samplerate, c.rate);
        EXPECT_EQ(out.info.channels, 2);
        EXPECT_GT(energy(out.samples), 1.0);
        // Compensation drops exactly the reported 3 samples of latency.
        const std::size_t shift = 3 * 2;
        ASSERT_GT(rawOut.samples.size(), shift);
        EXPECT_TRUE(std::equal(out.samples.begin(), out.samples.end() - shift,
                               rawOut.samples.begin() + shift));
    }
}

TEST_F(CliTest, PresetsStateFilesAndStateChecks) {
    const fs::path state = path("state.bin");
    const Outcome r = run("render -o '" + path("x.wav").string() + "' --preset far-center " +
                          "--set 'Test Mono=yes' --save-state '" + state.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const Outcome show = run("state show --json '" + state.string() + "'");
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.out.find("\"presetIndex\": 8"), std::string::npos);
    EXPECT_NE(show.out.find("\"pluginVersion\": \"1.3.0\""), std::string::npos);
    EXPECT_NE(show.out.find("\"text\": \"yes\""), std::string::npos);
    const Outcome check = run("state check '" + state.string() + "'");
    EXPECT_EQ(check.status, 0) << check.err;

    // A restored state renders like the settings that made it.
    const Outcome again =
        run("render -o '" + path("y.wav").string() + "' --state '" + state.string() + "'");
    ASSERT_EQ(again.status, 0) << again.err;
    // The demo's automation overrides Pan and Distance, so both runs match.
    EXPECT_EQ(readAudio(path("x.wav")).samples, readAudio(path("y.wav")).samples);

    std::vector<char> bytes(192, 0);
    {
        std::ifstream in(state, std::ios::binary);
        in.read(bytes.data(), 192);
    }
    struct Bad {
        std::vector<char> bytes;
        const char* message;
    };
    std::vector<Bad> bad{
        {{bytes.begin(), bytes.begin() + 3}, "Expected a byte, but found end of input"},
        {bytes, "Can not load, magic number didn't match"},
        {bytes, "Can not load chunk done with a newer, incompatible corvid library"},
        {bytes, "Invalid preset index in state chunk"},
        {{bytes.begin(), bytes.begin() + 100}, "Expected a byte, but found end of input"}};
    bad[1].bytes[1] = 0x21;
    bad[2].bytes[4] = 2;
    bad[3].bytes[16] = 40;
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.message);
        {
            std::ofstream out(path("bad.bin"), std::ios::binary | std::ios::trunc);
            out.write(b.bytes.data(), static_cast<std::streamsize>(b.bytes.size()));
        }
        const Outcome c = run("state check '" + path("bad.bin").string() + "'");
        EXPECT_NE(c.status, 0);
        EXPECT_NE(c.err.find(b.message), std::string::npos) << c.err;
        const Outcome s = run("state show '" + path("bad.bin").string() + "'");
        EXPECT_NE(s.status, 0);
        EXPECT_NE(s.err.find(b.message), std::string::npos) << s.err;
    }
}

TEST_F(CliTest, RefusesBadInputsAndLeavesNoOutput) {
    writeAudio(path("three.wav"), 3, 48000, 1000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeAudio(path("slow.wav"), 1, 22050, 1000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeAudio(path("good.wav"), 1, 48000, 1000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    {
        std::ofstream junk(path("corrupt.wav"), std::ios::binary);
        junk << "RIFF\x10\x00\x00\x00WAVEthis is not audio at all";
    }
    const std::string good = "'" + path("good.wav").string() + "'";
    const std::string out = "'" + path("out.wav").string() + "'";
    struct Case {
        std::string args;
        const char* says;
    };
    const std::vector<Case> cases{
        {"'" + path("three.wav").string() + "' -o " + out, "3 channels"},
        {"'" + path("slow.wav").string() + "' -o " + out, "22050 Hz"},
        {"'" + path("corrupt.wav").string() + "' -o " + out, "not a readable audio file"},
        {"'" + path("missing.wav").string() + "' -o " + out, "no such file"},
        {good + " -o " + good, "is the input file"},
        {good + " -o " + out + " --set Panorama=3", "\"Dry / Wet\""},
        {good + " -o " + out + " --set Pan=left", "expects a number from -90.00 to 90.00"},
        {good + " -o " + out + " --set 'Test Mono=maybe'", "accepted values: no, yes"},
        {good + " -o " + out + " --set Pan", "NAME=TEXT"},
        {good + " -o " + out + " --preset Nowhere", "\"Far-Left\""},
        {good + " -o " + out + " --preset 32", "no preset 32"},
        {good + " -o " + out + " --block 2048", "1 to 1024"},
        {good + " -o '" + path("out.mp3").string() + "'", "unknown output type"},
        {good, "-o OUT"},
        {good + " -o " + out + " --state '" + path("three.wav").string() + "'",
         "magic number didn't match"},
        {"--plugin '" + path("nowhere.so").string() + "' describe", "does not exist"},
        {"--plugin '" + path("good.wav").string() + "' describe", "cannot load the plug-in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string args =
            c.args.find("describe") != std::string::npos ? c.args : "render " + c.args;
        const Outcome r = run(args);
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(strayFiles({"three.wav", "slow.wav", "good.wav", "corrupt.wav"}),
                  std::vector<std::string>{});
    }
    // The input named as its own output is still intact.
    EXPECT_EQ(readAudio(path("good.wav")).info.frames, 1000);
}

TEST_F(CliTest, FindsThePluginInAnInstallPrefix) {
    const fs::path prefix = path("prefix");
    const fs::path bin = prefix / "bin";
    const fs::path lib = (bin / SPATIUM_RELATIVE_LIBDIR).lexically_normal();
    fs::create_directories(bin);
    fs::create_directories(lib);
    fs::copy_file(SPATIUM_EXE, bin / "spatium");
    fs::copy_file(SPATIUM_PLUGIN_PATH, lib / fs::path(SPATIUM_PLUGIN_PATH).filename());
    const Outcome r = run("describe", (bin / "spatium").string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(lib.string()), std::string::npos) << r.out;

    fs::remove(lib / fs::path(SPATIUM_PLUGIN_PATH).filename());
    const Outcome missing = run("describe", (bin / "spatium").string());
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("--plugin PATH"), std::string::npos) << missing.err;
}
