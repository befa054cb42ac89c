#pragma once
// The printer as the program sees it: one current printer with a printable
// page, print jobs with a title, and a setup dialog where the user picks the
// printer, its paper and the orientation.
//
// The current printer is the one the user chose in the setup dialog during
// this run, else the system's default printer. Its failures are raised as
// PrinterError with a German text meant for the user.

#include <QCoreApplication>
#include <QSize>
#include <QString>

#include <stdexcept>
#include <string>

class QPainter;
class QWidget;

namespace print {

// No printer to print on: none chosen and no system default.
inline constexpr const char* kNoDefaultPrinter = QT_TRANSLATE_NOOP("print::Printer",
                                                                   "Zur Zeit ist kein Standard-Drucker gewählt");
// A job was begun while another one was still open.
inline constexpr const char* kPrintingInProgress = QT_TRANSLATE_NOOP("print::Printer", "Das Drucken ist im Gang");
// The printing system refused to open or to finish a job.
inline constexpr const char* kJobNotStarted = QT_TRANSLATE_NOOP("print::Printer",
                                                                "Der Druckauftrag konnte nicht begonnen werden");
inline constexpr const char* kJobNotFinished = QT_TRANSLATE_NOOP("print::Printer",
                                                                 "Der Druckauftrag konnte nicht abgeschlossen werden");

// One of the texts above in the user's language, as UTF-8 for what().
inline std::string PrinterText(const char* german)
{
    return QCoreApplication::translate("print::Printer", german).toStdString();
}

// what() is UTF-8.
class PrinterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// There is no printer to print on: kNoDefaultPrinter.
class NoPrinterError : public PrinterError {
public:
    NoPrinterError() : PrinterError(PrinterText(kNoDefaultPrinter)) {}
};

// The page a layout can be shown on while there is no printer: A4 portrait
// at 1200 dots per inch, the whole sheet.
QSize DefaultPageSize();

class Printer {
public:
    Printer() = default;
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    virtual ~Printer() = default;

    // The printable area of a page in device pixels: the page less the
    // printer's own minimum margins. Asked afresh at every call, so a change
    // made in the setup dialog, or a new default printer, shows at once.
    // Throws NoPrinterError.
    virtual QSize PageSize() = 0;

    // Opens a job named title with its first page. Throws
    // kPrintingInProgress while a job is open, NoPrinterError, a German
    // text with the printing system's reason when the printer refuses jobs,
    // or kJobNotStarted.
    virtual void BeginDoc(const QString& title) = 0;
    // Closes the page and hands the job to the printing system. Throws
    // kJobNotFinished, or a German text with the printing system's reason
    // when it refused the job. Does nothing when no job is open.
    virtual void EndDoc() = 0;
    // Ends the open job at once, after a failure on the way. Nothing more is
    // drawn; where the printing system can withdraw the job nothing is
    // printed, else (CUPS through Qt) the page goes out as far as it was
    // drawn. Either way the printer is free for the next job. Does nothing
    // when no job is open. Never throws.
    virtual void Abort() noexcept = 0;
    virtual bool Printing() const = 0;

    // The page of the open job, in device pixels with (0, 0) at the top-left
    // corner of the printable area. Only while Printing().
    virtual QPainter& Canvas() = 0;

    // Shows the printer setup dialog; true when the user confirmed it. The
    // choices apply to every later page size and job of this run. Where the
    // system has no printer at all, the dialog offers printing into a PDF
    // file instead, which then takes the printer's place.
    virtual bool Setup(QWidget* parent) = 0;
};

// The program's printer. Made on first use; lives until the application
// object is destroyed.
Printer& CurrentPrinter();

// Puts another printer in place of the program's printer for as long as it
// lives (tests). Does not nest beyond restoring what it replaced.
class ScopedPrinter {
public:
    explicit ScopedPrinter(Printer& printer);
    ~ScopedPrinter();
    ScopedPrinter(const ScopedPrinter&) = delete;
    ScopedPrinter& operator=(const ScopedPrinter&) = delete;

private:
    Printer* previous_;
};

} // namespace print
