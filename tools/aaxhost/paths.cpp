#include "tools/aaxhost/paths.h"

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace spatium::host {

#if defined(_WIN32)

namespace {

std::wstring wideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string utf8FromWide(const wchar_t* wide, std::size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), n, nullptr,
                        nullptr);
    return utf8;
}

} // namespace

std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(wideFromUtf8(utf8));
}

std::string utf8FromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return utf8FromWide(wide.data(), wide.size());
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (wide == nullptr || count != argc) {
        // Not what the runtime parsed: keep the runtime's reading.
        if (wide != nullptr) LocalFree(wide);
        for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
        return args;
    }
    for (int i = 0; i < count; ++i) args.push_back(utf8FromWide(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return args;
}

std::FILE* openFile(const std::string& utf8, const char* mode) {
    return _wfopen(wideFromUtf8(utf8).c_str(), wideFromUtf8(mode).c_str());
}

std::string temporaryPathFor(const std::string& path) {
    const std::filesystem::path target = pathFromUtf8(path);
    return utf8FromPath(target.parent_path() / (L"." + target.filename().native() + L".partial-" +
                                                std::to_wstring(GetCurrentProcessId())));
}

#else

std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::string utf8FromPath(const std::filesystem::path& path) {
    return path.string();
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::FILE* openFile(const std::string& utf8, const char* mode) {
    return std::fopen(utf8.c_str(), mode);
}

std::string temporaryPathFor(const std::string& path) {
    const std::filesystem::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + ".partial-" +
                                    std::to_string(static_cast<long>(::getpid()))))
        .string();
}

#endif

} // namespace spatium::host
