// Sessions saved by earlier versions must come back exactly. Each folder vN holds
// what version N wrote: a state chunk per factory preset, the factory preset blobs
// and a chunk with every parameter away from its default, plus what an instance
// reported after loading each of them. A change that breaks saved sessions fails
// here. When the chunk's content changes, add a new folder (run this program with
// SPATIUM_WRITE_GOLDEN=tests/golden/vN); never rewrite an existing one.

#include "tools/aaxhost/host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace spatium::host;

namespace {

constexpr std::size_t kBlobHeaderSize = 56;

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// What a host sees of an instance: every parameter's normalised value at the
// chunk's own precision (single), its display text, and the preset index the chunk
// restores. Single precision keeps the comparison exact without pinning the last
// bits of a platform's log and exp in the curved mappings.
struct Snapshot {
    std::vector<std::string> lines;
};

Snapshot snapshot(Instance& instance) {
    Snapshot s;
    const std::int32_t count = instance.parameterCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string id = instance.parameterID(i);
        char value[64];
        std::snprintf(value, sizeof value, "%.9g",
                      static_cast<double>(static_cast<float>(instance.normalizedValue(id))));
        s.lines.push_back(id + "\t" + value + "\t" + instance.valueText(id));
    }
    s.lines.push_back("preset\t" + std::to_string(instance.stateChunk().at(16)));
    return s;
}

// expected.txt: "[file]" headers, each followed by the snapshot lines of that file.
std::map<std::string, std::vector<std::string>> readExpected(const std::filesystem::path& path) {
    std::map<std::string, std::vector<std::string>> sections;
    std::ifstream in(path);
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            current = line.substr(1, line.size() - 2);
            sections[current];
        } else if (!current.empty()) {
            sections[current].push_back(line);
        }
    }
    return sections;
}

std::vector<std::uint8_t> chunkOfBlob(const std::vector<std::uint8_t>& blob) {
    if (blob.size() < kBlobHeaderSize) return {};
    return {blob.begin() + kBlobHeaderSize, blob.end()};
}

class GoldenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin_ = std::make_unique<Plugin>(SPATIUM_PLUGIN_PATH); }
    static void TearDownTestSuite() { plugin_.reset(); }
    static Plugin& plugin() { return *plugin_; }
    static std::unique_ptr<Instance> freshInstance() {
        return std::make_unique<Instance>(plugin(), componentForInputs(plugin().effect(), 2),
                                          48000.0);
    }

private:
    static std::unique_ptr<Plugin> plugin_;
};

std::unique_ptr<Plugin> GoldenTest::plugin_;

std::string presetFile(std::size_t i, const char* extension) {
    char name[48];
    std::snprintf(name, sizeof name, "preset_%02zu.%s", i, extension);
    return name;
}

// Every parameter away from its default, discrete ones included, with values that
// are not round numbers so a changed mapping shows.
void moveEveryParameter(Instance& instance) {
    const std::int32_t count = instance.parameterCount();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::string id = instance.parameterID(i);
        const std::string defaultText = instance.valueText(id);
        for (int attempt = 0; attempt < 8; ++attempt) {
            const double v = 0.137 + 0.0713 * ((i * 5 + attempt * 3) % 11);
            instance.setNormalizedValue(id, v);
            if (instance.valueText(id) != defaultText) break;
        }
    }
}

void writeGoldenSet(Plugin& plugin, const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    std::ofstream expected(dir / "expected.txt");
    auto record = [&](const std::string& file, const std::vector<std::uint8_t>& chunk) {
        Instance reader(plugin, componentForInputs(plugin.effect(), 2), 48000.0);
        if (reader.setStateChunk(chunk) != AAX_SUCCESS) throw HostError("cannot reload " + file);
        expected << "[" << file << "]\n";
        for (const std::string& line : snapshot(reader).lines) expected << line << "\n";
    };
    const std::vector<PresetBlob> presets = plugin.presets();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        writeFile(dir / presetFile(i, "tfx"), presets[i].blob);
        record(presetFile(i, "tfx"), chunkOfBlob(presets[i].blob));
        // The state of an instance on which the host loaded the preset.
        Instance instance(plugin, componentForInputs(plugin.effect(), 2), 48000.0);
        instance.setStateChunk(chunkOfBlob(presets[i].blob));
        const std::vector<std::uint8_t> state = instance.stateChunk();
        writeFile(dir / presetFile(i, "chunk"), state);
        record(presetFile(i, "chunk"), state);
    }
    Instance moved(plugin, componentForInputs(plugin.effect(), 2), 48000.0);
    moveEveryParameter(moved);
    const std::vector<std::uint8_t> state = moved.stateChunk();
    writeFile(dir / "nondefault.chunk", state);
    record("nondefault.chunk", state);
}

std::vector<std::filesystem::path> goldenSets() {
    std::vector<std::filesystem::path> sets;
    for (const auto& entry : std::filesystem::directory_iterator(SPATIUM_GOLDEN_DIR))
        if (entry.is_directory() && std::filesystem::exists(entry.path() / "expected.txt"))
            sets.push_back(entry.path());
    std::sort(sets.begin(), sets.end());
    return sets;
}

} // namespace

TEST_F(GoldenTest, EverySavedFileRestoresEveryValue) {
    if (const char* out = std::getenv("SPATIUM_WRITE_GOLDEN")) {
        writeGoldenSet(plugin(), out);
        GTEST_SKIP() << "wrote a golden set to " << out;
    }
    const std::vector<std::filesystem::path> sets = goldenSets();
    ASSERT_FALSE(sets.empty());
    for (const auto& set : sets) {
        const auto expected = readExpected(set / "expected.txt");
        // 32 preset blobs, 32 preset states and the moved state.
        EXPECT_EQ(expected.size(), 65u) << set;
        for (const auto& [file, lines] : expected) {
            SCOPED_TRACE(set.filename().string() + "/" + file);
            std::vector<std::uint8_t> bytes = readFile(set / file);
            ASSERT_FALSE(bytes.empty());
            if (file.ends_with(".tfx")) bytes = chunkOfBlob(bytes);
            auto instance = freshInstance();
            ASSERT_EQ(instance->setStateChunk(bytes), AAX_SUCCESS);
            EXPECT_EQ(snapshot(*instance).lines, lines);
        }
    }
}

TEST_F(GoldenTest, TodaysPresetBlobsMatchTheNewestSet) {
    // Factory presets may change in a new version, but then a new golden set is due.
    const std::vector<std::filesystem::path> sets = goldenSets();
    ASSERT_FALSE(sets.empty());
    const std::vector<PresetBlob> presets = plugin().presets();
    ASSERT_EQ(presets.size(), 32u);
    for (std::size_t i = 0; i < presets.size(); ++i)
        EXPECT_EQ(presets[i].blob, readFile(sets.back() / presetFile(i, "tfx"))) << i;
}
