#pragma once
// The application object with the program's general error handler: an
// exception that leaves an event handler is caught around event dispatch and
// shown to the user in a message box with one OK button; the program then
// goes on with the next event.

#include <QApplication>

#include <exception>
#include <functional>

class QString;

class ErrorHandlingApplication : public QApplication {
    Q_OBJECT
public:
    ErrorHandlingApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error through the current sink. The text of a std::exception
    // is its what() (UTF-8); others get a general German text.
    static void ShowError(const std::exception_ptr& error);
    static QString ErrorText(const std::exception_ptr& error);

    // Where errors go: by default a modal critical QMessageBox over the
    // active window, captioned with the application's name. Tests install a
    // sink to see errors without blocking. Answers the sink it replaces; an
    // empty function restores the default.
    using ErrorSink = std::function<void(const QString& text)>;
    static ErrorSink SetErrorSink(ErrorSink sink);
};
