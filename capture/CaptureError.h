#pragma once
// Where the capture control's German error boxes go. By default a modal
// message box with an error symbol and one OK button; tests install a sink
// that records the texts instead.

#include <QString>

#include <cstddef>
#include <functional>

namespace capture {

// detail, when not empty, says more (why a driver did not connect, and
// what usually helps); it appears below the text.
using ErrorSink = std::function<void(const QString& text, const QString& detail)>;

void ShowError(const QString& text, const QString& detail = QString());
// Installs a sink; an empty one restores the message box. A sink that takes
// only the text does not hear the detail.
void SetErrorSink(ErrorSink sink);
void SetErrorSink(std::function<void(const QString& text)> sink);
void SetErrorSink(std::nullptr_t); // also what SetErrorSink({}) means

} // namespace capture
