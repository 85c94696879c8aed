#pragma once
// File names as the host keeps them: UTF-8 text everywhere, turned into the
// platform's own form only where a file is opened. On Windows that form is UTF-16
// (the wide-character functions), since the narrow ones read the ANSI code page
// and cannot name every file.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace spatium::host {

std::filesystem::path pathFromUtf8(const std::string& utf8);
std::string utf8FromPath(const std::filesystem::path& path);

// The program's arguments as UTF-8. On Windows they are read again from the
// wide command line, because argv holds them in the ANSI code page.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// fopen of a UTF-8 name.
std::FILE* openFile(const std::string& utf8, const char* mode);

// A name for a temporary file beside path that no other running process of this
// program chooses: ".name.partial-PID".
std::string temporaryPathFor(const std::string& path);

} // namespace spatium::host
