#pragma once
// Opening a web address in the user's browser. Everything that opens one
// goes through here, so tests can stand in for the desktop.

#include <functional>

class QUrl;

namespace url_opener {

using Opener = std::function<bool(const QUrl& url)>;

// Hands the address to the desktop (QDesktopServices) or to the installed
// stand-in; answers whether it was taken. Does not wait for the browser.
bool Open(const QUrl& url);

// Installs a stand-in; an empty one restores the desktop. Answers the one
// it replaces.
Opener SetOpener(Opener opener);

} // namespace url_opener
