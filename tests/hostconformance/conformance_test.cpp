// Generated host scripts against the real plug-in library: the same checks the
// host fuzz target makes, on a fixed set of inputs so every run of the suite plays
// the same sessions.

#include "tools/aaxhost/playhost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

using namespace spatium;

namespace {

class HostConformance : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin_ = std::make_unique<host::Plugin>(SPATIUM_PLUGIN_PATH); }
    static void TearDownTestSuite() { plugin_.reset(); }

    void play(const std::vector<std::uint8_t>& script) {
        hostfuzz::PlayOptions options;
        std::string log;
        options.trace = [&log](const std::string& op) { log += op + "; "; };
        options.fail = [&log](const std::string& what) {
            ADD_FAILURE() << what << "\nafter " << log;
        };
        hostfuzz::playHostScript(*plugin_, script.data(), script.size(), options);
    }

    static std::unique_ptr<host::Plugin> plugin_;
};

std::unique_ptr<host::Plugin> HostConformance::plugin_;

} // namespace

TEST_F(HostConformance, GeneratedSessions) {
    std::mt19937 rng(20261208);
    for (int session = 0; session < 2000; ++session) {
        SCOPED_TRACE(session);
        // Each session starts by creating instances, so the rest has something to act on.
        std::vector<std::uint8_t> script{0, 0, 0, 0, 0, 1, 1, 0};
        const std::size_t length = 64 + rng() % 1500;
        while (script.size() < length) script.push_back(static_cast<std::uint8_t>(rng()));
        play(script);
        if (HasFailure()) break;
    }
}

TEST_F(HostConformance, CommittedCorpus) {
    const std::filesystem::path corpus = SPATIUM_HOST_CORPUS;
    if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus";
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> script{std::istreambuf_iterator<char>(in),
                                               std::istreambuf_iterator<char>()};
        play(script);
    }
}
