#include "platform/print/SystemPrinter.h"

#include <QPushButton>
#include <QDialogButtonBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace print {

SystemPrinter::SystemPrinter() = default;

SystemPrinter::~SystemPrinter()
{
    Abort();
}

QPrinter& SystemPrinter::Device()
{
    // While a job is open its page must not change under the painter.
    if (painter_)
        return *printer_;

    // Without a queue QPrinter quietly turns into a PDF writer with no file;
    // that must never pass for a printer.
    QString name = chosen_;
    if (!name.isEmpty() && !QPrinterInfo::availablePrinterNames().contains(name))
        chosen_.clear(), name.clear();
    if (name.isEmpty()) {
        const QPrinterInfo fallback = QPrinterInfo::defaultPrinter();
        if (fallback.isNull())
            throw PrinterError(kNoDefaultPrinter);
        name = fallback.printerName();
    }

    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (name != bound_) {
        // A new QPrinter starts on A4 and Qt's own margins whatever the
        // queue says; take the queue's paper and its own margins instead.
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
        throw PrinterError(kPrintingInProgress);
    QPrinter& device = Device();
    device.setDocName(title);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&device))
        throw PrinterError(kJobNotStarted);
    painter_ = std::move(painter);
}

void SystemPrinter::EndDoc()
{
    if (!painter_)
        return;
    const bool ended = painter_->end();
    painter_.reset();
    if (!ended)
        throw PrinterError(kJobNotFinished);
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
    QPrinter& device = Device();
    QPrintDialog dialog(&device, parent);
    // A setup, not a print: printer, paper and orientation only; no file
    // output that would not be a printer.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    dialog.setWindowTitle(QStringLiteral("Druckereinrichtung"));
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("&OK"));
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    chosen_ = device.printerName();
    bound_ = chosen_;
    UseMinimumMargins();
    return true;
}

} // namespace print
