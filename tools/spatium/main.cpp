// spatium: a command-line host for the Spatium plug-in library. It loads the
// library as an AAX host would and describes, inspects and renders through it.

#include "tools/aaxhost/paths.h"
#include "tools/spatium/commands.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace spatium::host;

namespace {

const char* const kUsage = R"(usage: spatium [--plugin PATH] COMMAND [OPTIONS]

Drives the Spatium plug-in library through its entry points, as a host does.

commands:
  describe        what the plug-in describes to the host (IDs, names, components)
  params          every parameter: ID, name, type, steps, default, value, text
  presets         the factory presets handed out as preset blobs
  render          render an audio file (or the built-in demo) through the plug-in
  editor          open the plug-in's editor in a window while audio plays
  state show|check FILE
                  decode a saved state chunk / check that the plug-in restores it

options:
  --plugin PATH   use this plug-in library instead of the one beside spatium
                  or in its install prefix
  -h, --help      this text; "spatium COMMAND --help" explains a command
)";

} // namespace

int main(int argc, char** argv) {
    // File names among the arguments are kept as UTF-8 from here on.
    const std::vector<std::string> argument = utf8Arguments(argc, argv);
    CommandLine cl;
    cl.program = argc > 0 ? argument[0] : "spatium";
    std::string command;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string& arg = argument[static_cast<std::size_t>(i)];
            if (arg == "--plugin" || arg.rfind("--plugin=", 0) == 0) {
                if (arg == "--plugin") {
                    if (i + 1 >= argc) throw UsageError("--plugin needs a path");
                    cl.pluginPath = argument[static_cast<std::size_t>(++i)];
                } else {
                    cl.pluginPath = arg.substr(std::strlen("--plugin="));
                }
                if (cl.pluginPath.empty()) throw UsageError("--plugin needs a path");
            } else if (command.empty() && isHelp(arg)) {
                std::cout << kUsage;
                return kExitOk;
            } else if (command.empty()) {
                if (!arg.empty() && arg[0] == '-') throw UsageError("unknown option " + arg);
                command = arg;
            } else {
                cl.args.push_back(arg);
            }
        }
        if (command.empty()) {
            std::cerr << kUsage;
            return kExitUsage;
        }
        if (command == "describe") return runDescribe(cl);
        if (command == "params") return runParams(cl);
        if (command == "presets") return runPresets(cl);
        if (command == "render") return runRender(cl);
        if (command == "state") return runState(cl);
        if (command == "editor") return runEditor(cl);
        throw UsageError("unknown command \"" + command +
                         "\"; the commands are describe, params, presets, render, state and "
                         "editor");
    } catch (const UsageError& e) {
        std::cerr << "spatium" << (command.empty() ? "" : " " + command) << ": " << e.what()
                  << "\n(see \"spatium" << (command.empty() ? "" : " " + command) << " --help\")\n";
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "spatium" << (command.empty() ? "" : " " + command) << ": " << e.what()
                  << '\n';
        return kExitFailure;
    }
}
