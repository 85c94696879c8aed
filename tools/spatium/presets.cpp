// spatium presets: the factory presets handed out as preset blobs.

#include "tools/spatium/commands.h"

#include "tools/aaxhost/paths.h"
#include "tools/spatium/chunk.h"
#include "tools/spatium/json.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace spatium::host {

namespace {

const char* const kPresetsHelp = R"(usage: spatium presets [--json] [--export DIR]

Lists the factory presets the plug-in hands out as preset blobs: index, name,
blob length and the blob's header (total length, version, manufacturer, product,
plug-in and chunk IDs). --export DIR writes each blob to DIR/NN-NAME.tfx.
)";

std::string fileNameFor(std::size_t index, const std::string& name) {
    std::string safe;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_')
            safe += static_cast<char>(c);
        else if (c == ' ' && !safe.empty() && safe.back() != '_')
            safe += '_';
    }
    while (!safe.empty() && safe.back() == '_') safe.pop_back();
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "%02zu", index);
    return std::string(prefix) + (safe.empty() ? "" : "-" + safe) + ".tfx";
}

// Each blob to DIR/NN-NAME.tfx; returns the files' names.
std::vector<std::string> exportPresets(const std::string& exportDir,
                                       const std::vector<PresetBlob>& presets) {
    std::error_code error;
    std::filesystem::create_directories(pathFromUtf8(exportDir), error);
    if (error) throw HostError("cannot create " + exportDir + ": " + error.message());
    std::vector<std::string> files;
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const std::string path =
            utf8FromPath(pathFromUtf8(exportDir) / pathFromUtf8(fileNameFor(i, presets[i].name)));
        writeFileAtomically(path, presets[i].blob);
        files.push_back(path);
    }
    return files;
}

void printPresetsJson(const std::vector<PresetBlob>& presets,
                      const std::vector<std::string>& files) {
    JsonWriter j(std::cout);
    j.beginArray();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const PresetBlobHeader h = readPresetBlobHeader(presets[i].blob);
        j.beginObject();
        j.field("index", static_cast<std::int64_t>(i));
        j.field("name", presets[i].name);
        j.field("length", static_cast<std::int64_t>(presets[i].blob.size()));
        j.field("totalLength", h.totalLength);
        j.field("version", h.version);
        j.field("manufacturerID", fourCCText(h.manufacturerID));
        j.field("productID", fourCCText(h.productID));
        j.field("plugInID", fourCCText(h.plugInID));
        j.field("chunkID", fourCCText(h.chunkID));
        if (!files.empty()) j.field("file", files[i]);
        j.endObject();
    }
    j.endArray();
}

void printPresetsText(const std::vector<PresetBlob>& presets) {
    std::printf("%-3s %-20s %6s %6s %3s %-6s %-6s %-6s %-6s\n", "#", "name", "length", "total",
                "ver", "manuf", "prod", "plugin", "chunk");
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const PresetBlobHeader h = readPresetBlobHeader(presets[i].blob);
        std::printf("%-3zu %-20s %6zu %6u %3u %-6s %-6s %-6s %-6s\n", i,
                    inQuotes(presets[i].name).c_str(), presets[i].blob.size(), h.totalLength,
                    h.version, fourCCText(h.manufacturerID).c_str(),
                    fourCCText(h.productID).c_str(), fourCCText(h.plugInID).c_str(),
                    fourCCText(h.chunkID).c_str());
    }
}

} // namespace

int runPresets(const CommandLine& cl) {
    bool json = false;
    std::string exportDir;
    for (std::size_t i = 0; i < cl.args.size(); ++i) {
        if (isHelp(cl.args[i])) {
            std::cout << kPresetsHelp;
            return kExitOk;
        } else if (cl.args[i] == "--json") {
            json = true;
        } else if (!takeOption(cl.args, i, "--export", exportDir)) {
            throw UsageError("unexpected argument " + cl.args[i]);
        }
    }
    for (const auto& a : cl.args)
        if (a == "--export=") throw UsageError("--export needs a folder");
    const auto plugin = loadPlugin(cl.pluginPath);
    const std::vector<PresetBlob> presets = plugin->presets();
    const std::vector<std::string> files =
        exportDir.empty() ? std::vector<std::string>() : exportPresets(exportDir, presets);
    if (json) {
        printPresetsJson(presets, files);
        return kExitOk;
    }
    printPresetsText(presets);
    if (!files.empty())
        std::printf("wrote %zu preset files to %s\n", files.size(), exportDir.c_str());
    return kExitOk;
}

} // namespace spatium::host
