#include "capture/CaptureError.h"

#include <QMessageBox>

namespace capture {

namespace {
ErrorSink& sink()
{
    static ErrorSink s;
    return s;
}
} // namespace

void ShowError(const QString& text, const QString& detail)
{
    if (sink()) {
        sink()(text, detail);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString(), text, QMessageBox::Ok);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.exec();
}

void SetErrorSink(ErrorSink s)
{
    sink() = std::move(s);
}

void SetErrorSink(std::function<void(const QString& text)> s)
{
    if (!s) {
        sink() = nullptr;
        return;
    }
    sink() = [s = std::move(s)](const QString& text, const QString&) { s(text); };
}

} // namespace capture

namespace capture {

void SetErrorSink(std::nullptr_t)
{
    sink() = nullptr;
}

} // namespace capture
