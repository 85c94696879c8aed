#pragma once
// Opens a web address with the platform's default handler. Clickable labels and
// the logo go through one replaceable service so tests, demos and headless runs
// can record what would have been opened instead of starting a browser.

#include <functional>
#include <string_view>

namespace corvid {

using UrlOpener = std::function<void(std::string_view url)>;

// Hands url to the current opener. Empty addresses, addresses with control
// characters and addresses that begin with '-' (which the handler would read as an
// option) are dropped here, before any opener sees them.
void openUrl(std::string_view url);

// Installs an opener and returns the one it replaces. An empty function restores
// the platform opener. Safe from any thread.
UrlOpener setUrlOpener(UrlOpener opener);

// The platform opener: ShellExecuteW with the verb "open" on Windows; on other
// systems xdg-open, started directly (no shell) and detached, so the caller never
// waits for it and no finished child is left behind.
void openUrlWithPlatform(std::string_view url);

// Whether openUrl would pass url on.
bool isOpenableUrl(std::string_view url);

} // namespace corvid
