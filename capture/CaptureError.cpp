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

void ShowError(const QString& text)
{
    if (sink()) {
        sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString(), text, QMessageBox::Ok);
    box.exec();
}

void SetErrorSink(ErrorSink s)
{
    sink() = std::move(s);
}

} // namespace capture
