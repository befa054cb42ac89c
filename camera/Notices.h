#pragma once
// The one way the camera code speaks to the user outside a dialog of its
// own: a camera lost mid-stream, a format the device refused, settings that
// could not be saved. By default a modal message box shows the text; the
// program or a test may send notices elsewhere.

#include <QString>

#include <functional>

namespace camera {

using MessageSink = std::function<void(const QString& text)>;

// An empty sink restores the message box.
void SetMessageSink(MessageSink sink);
void ReportToUser(const QString& text);

} // namespace camera
