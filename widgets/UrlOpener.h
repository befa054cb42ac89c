#pragma once
// Opening a web address in the user's browser, or a file in the desktop's
// viewer for it. Everything that opens one goes through here, so tests can
// stand in for the desktop.

#include <functional>

class QString;
class QUrl;
class QWidget;

namespace url_opener {

using Opener = std::function<bool(const QUrl& url)>;

// Hands the address to the desktop (QDesktopServices) or to the installed
// stand-in; answers whether it was taken. Does not wait for the browser.
bool Open(const QUrl& url);

// Open(), and when the desktop cannot start anything for the address, tells
// the user so in German in a message box over owner (a file: the file is
// saved but could not be shown; a web address: no browser). Answers
// whether it was taken.
bool OpenOrSay(QWidget* owner, const QUrl& url);

// The German text OpenOrSay shows for url.
QString CannotOpenText(const QUrl& url);

// Installs a stand-in; an empty one restores the desktop. Answers the one
// it replaces.
Opener SetOpener(Opener opener);

// Where OpenOrSay's message goes: by default a modal warning box. Tests
// install a recorder; an empty one restores the box. Answers the one it
// replaces.
using Notice = std::function<void(QWidget* owner, const QString& text)>;
Notice SetNotice(Notice notice);

} // namespace url_opener
