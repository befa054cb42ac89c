#include "app/ErrorHandlingApplication.h"

#include <QMessageBox>
#include <QString>

#include <new>

namespace {

ErrorHandlingApplication::ErrorSink& sink()
{
    static ErrorHandlingApplication::ErrorSink current;
    return current;
}

void showInMessageBox(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace

ErrorHandlingApplication::ErrorHandlingApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ErrorHandlingApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowError(std::current_exception());
        return false;
    }
}

QString ErrorHandlingApplication::ErrorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return tr("Zu wenig Arbeitsspeicher.");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return tr("Unbekannter Fehler.");
    }
}

void ErrorHandlingApplication::ShowError(const std::exception_ptr& error)
{
    const QString text = ErrorText(error);
    // A failure of the message box itself must not end the program either.
    try {
        if (sink())
            sink()(text);
        else
            showInMessageBox(text);
    } catch (...) {
    }
}

ErrorHandlingApplication::ErrorSink ErrorHandlingApplication::SetErrorSink(ErrorSink next)
{
    ErrorSink previous = std::move(sink());
    sink() = std::move(next);
    return previous;
}
