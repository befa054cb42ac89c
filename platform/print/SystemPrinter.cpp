#include "platform/print/SystemPrinter.h"

#include "platform/print/CupsQueue.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStandardPaths>

namespace print {

namespace {

std::string refusedText(const QString& queue, const QString& reason)
{
    const QString why = reason.isEmpty()
                            ? QCoreApplication::translate("print::SystemPrinter", "Der Drucker nennt keinen Grund.")
                            : QCoreApplication::translate("print::SystemPrinter", "Grund: %1").arg(reason);
    return QCoreApplication::translate(
               "print::SystemPrinter",
               "Der Drucker „%1“ nimmt zur Zeit keine Druckaufträge an. %2\n\nEs wurde nichts gedruckt.")
        .arg(queue, why)
        .toStdString();
}

// Where a PDF goes unless the user says otherwise.
QString proposedPdfFile()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QDir(folder).filePath(
        QCoreApplication::translate("print::SystemPrinter", "Lumora Bild.pdf", "the proposed PDF file name"));
}

void germanOkButton(QPrintDialog& dialog)
{
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QCoreApplication::translate("print::SystemPrinter", "&OK"));
    }
}

} // namespace

SystemPrinter::SystemPrinter() = default;

SystemPrinter::~SystemPrinter()
{
    Abort();
}

QPrinter& SystemPrinter::Device()
{
    // While a job is open its page must not change under the painter.
    if (painter_ || pdf_)
        return *printer_;

    // Without a queue QPrinter quietly turns into a PDF writer with no file;
    // that must never pass for a printer.
    QString name = chosen_;
    if (!name.isEmpty() && !QPrinterInfo::availablePrinterNames().contains(name))
        chosen_.clear(), name.clear();
    if (name.isEmpty()) {
        const QPrinterInfo fallback = QPrinterInfo::defaultPrinter();
        if (fallback.isNull())
            throw NoPrinterError();
        name = fallback.printerName();
    }
    return BindQueue(name);
}

QPrinter& SystemPrinter::BindQueue(const QString& name)
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (name != bound_) {
        // A new QPrinter starts on A4 and Qt's own margins whatever the
        // queue says; take the queue's paper and its own margins instead.
        printer_->setOutputFormat(QPrinter::NativeFormat);
        printer_->setPrinterName(name);
        const QPrinterInfo info = QPrinterInfo::printerInfo(name);
        if (info.defaultPageSize().isValid())
            printer_->setPageSize(info.defaultPageSize());
        UseMinimumMargins();
        bound_ = name;
    }
    return *printer_;
}

void SystemPrinter::UseMinimumMargins()
{
    const QPageLayout layout = printer_->pageLayout();
    printer_->setPageMargins(layout.minimumMargins(), layout.units());
}

QSize SystemPrinter::PageSize()
{
    QPrinter& device = Device();
    return {device.width(), device.height()};
}

void SystemPrinter::BeginDoc(const QString& title)
{
    if (Printing())
        throw PrinterError(PrinterText(kPrintingInProgress));
    QPrinter& device = Device();
    // Qt hands a job to a queue that refuses it without a word: ask first.
    if (!pdf_) {
        const QueueState queue = AskQueue(device.printerName());
        if (queue.known && !queue.accepting)
            throw PrinterError(refusedText(device.printerName(), queue.reason));
    }
    device.setDocName(title);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&device))
        throw PrinterError(PrinterText(kJobNotStarted));
    painter_ = std::move(painter);
}

void SystemPrinter::EndDoc()
{
    if (!painter_)
        return;
    const bool ended = painter_->end();
    painter_.reset();
    if (!ended)
        throw PrinterError(PrinterText(kJobNotFinished));
    // The queue may have stopped taking jobs while this one was drawn; the
    // scheduler's answer to the hand-over is the last thing CUPS heard.
    if (!pdf_) {
        const QString refusal = LastRequestRefusal();
        if (!refusal.isEmpty()) {
            const QueueState queue = AskQueue(printer_->printerName());
            throw PrinterError(refusedText(printer_->printerName(), queue.reason.isEmpty() ? refusal : queue.reason));
        }
    }
}

void SystemPrinter::Abort() noexcept
{
    if (!painter_)
        return;
    // Qt's CUPS engine cannot withdraw a job (abort() answers false); the
    // painter's end then hands over what was drawn.
    printer_->abort();
    if (painter_->isActive())
        painter_->end();
    painter_.reset();
}

bool SystemPrinter::Printing() const
{
    return painter_ != nullptr;
}

QPainter& SystemPrinter::Canvas()
{
    if (!painter_)
        throw std::logic_error("SystemPrinter::Canvas without an open job");
    return *painter_;
}

bool SystemPrinter::Setup(QWidget* parent)
{
    if (Printing())
        throw PrinterError(PrinterText(kPrintingInProgress));
    const QStringList queues = QPrinterInfo::availablePrinterNames();
    if (queues.isEmpty())
        return SetupPdf(parent);
    // Queues without a default: the dialog starts on the first of them.
    QString name = chosen_;
    if (!queues.contains(name)) {
        const QPrinterInfo fallback = QPrinterInfo::defaultPrinter();
        name = fallback.isNull() ? queues.constFirst() : fallback.printerName();
    }
    return SetupQueue(parent, name);
}

bool SystemPrinter::SetupQueue(QWidget* parent, const QString& name)
{
    const bool wasPdf = pdf_;
    QPrinter& device = BindQueue(name);
    QPrintDialog dialog(&device, parent);
    // A setup, not a print: printer, paper and orientation only; no file
    // output while there are printers.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    dialog.setWindowTitle(QCoreApplication::translate("print::SystemPrinter", "Druckereinrichtung"));
    germanOkButton(dialog);
    if (dialog.exec() != QDialog::Accepted) {
        // A PDF file chosen earlier stays the printer.
        if (wasPdf) {
            printer_->setOutputFormat(QPrinter::PdfFormat);
            printer_->setOutputFileName(pdfFile_);
            bound_.clear();
        }
        return false;
    }
    pdf_ = false;
    chosen_ = device.printerName();
    bound_ = chosen_;
    UseMinimumMargins();
    return true;
}

bool SystemPrinter::SetupPdf(QWidget* parent)
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!pdf_) {
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setPageSize(QPageSize(QPageSize::A4));
        printer_->setPageOrientation(QPageLayout::Portrait);
        if (pdfFile_.isEmpty())
            pdfFile_ = proposedPdfFile();
    }
    printer_->setOutputFileName(pdfFile_);
    bound_.clear();

    QPrintDialog dialog(printer_.get(), parent);
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setWindowTitle(
        QCoreApplication::translate("print::SystemPrinter", "Kein Drucker eingerichtet: in eine PDF-Datei drucken"));
    germanOkButton(dialog);
    const bool accepted = dialog.exec() == QDialog::Accepted && !printer_->outputFileName().isEmpty();
    if (accepted) {
        pdf_ = true;
        pdfFile_ = printer_->outputFileName();
        printer_->setOutputFormat(QPrinter::PdfFormat);
        UseMinimumMargins();
    } else if (pdf_) {
        printer_->setOutputFileName(pdfFile_);
    }
    return accepted;
}

} // namespace print
