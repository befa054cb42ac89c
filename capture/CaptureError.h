#pragma once
// Where the capture control's German error boxes go. By default a modal
// message box with an error symbol and one OK button; tests install a sink
// that records the texts instead.

#include <QString>

#include <functional>

namespace capture {

using ErrorSink = std::function<void(const QString& text)>;

void ShowError(const QString& text);
// Installs a sink; an empty one restores the message box.
void SetErrorSink(ErrorSink sink);

} // namespace capture
