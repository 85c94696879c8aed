#pragma once
// The subcommands of the command-line host. Each returns the process exit code
// and reports failures on stderr.

#include "tools/aaxhost/host.h"

#include <memory>
#include <string>
#include <vector>

namespace spatium::host {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Thrown for bad command lines; reported with a pointer to --help.
class UsageError : public HostError {
public:
    using HostError::HostError;
};

struct CommandLine {
    std::string program;
    std::string pluginPath;        // empty: the default places
    std::vector<std::string> args; // after the subcommand name
};

std::unique_ptr<Plugin> loadPlugin(const std::string& explicitPath);

// What a user may set before parameters are listed or audio is rendered.
struct Settings {
    std::string preset;
    std::string stateFile;
    std::vector<std::string> assignments; // NAME=TEXT
};
// Applies the state file, then the preset, then the assignments in order.
void applySettings(Plugin& plugin, Instance& instance, const Settings& settings);
// Finds a parameter by name: exact first, then ignoring case and outer spaces.
// Throws HostError listing the valid names.
std::string findParameterID(Instance& instance, const std::string& name);

int runDescribe(const CommandLine& cl);
int runParams(const CommandLine& cl);
int runPresets(const CommandLine& cl);
int runRender(const CommandLine& cl);
int runState(const CommandLine& cl);
int runEditor(const CommandLine& cl);

// "text" with its quotes, as messages and listings show names.
std::string inQuotes(const std::string& s);

// Shared by the subcommands' option loops.
bool isHelp(const std::string& arg);
// The value of an option given as "--name VALUE" or "--name=VALUE".
bool takeOption(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                std::string& value);
// Takes --preset, --state or --set at args[i] into settings.
bool takeSettingsOption(const std::vector<std::string>& args, std::size_t& i, Settings& settings);

} // namespace spatium::host
