#pragma once
// The printer of the printing system (CUPS through Qt's print support), or
// a PDF file the user chose in the setup dialog where there is no printer.

#include "platform/print/Printer.h"

#include <memory>

class QPrinter;

namespace print {

class SystemPrinter final : public Printer {
public:
    SystemPrinter();
    ~SystemPrinter() override;

    QSize PageSize() override;
    void BeginDoc(const QString& title) override;
    void EndDoc() override;
    void Abort() noexcept override;
    bool Printing() const override;
    QPainter& Canvas() override;
    bool Setup(QWidget* parent) override;

    // The PDF file printed into instead of a printer, empty while a queue
    // is the printer.
    QString PdfFile() const { return pdf_ ? pdfFile_ : QString(); }

private:
    // The device, bound to the current printer. Throws NoPrinterError.
    QPrinter& Device();
    // The device bound to the queue name (made on first use).
    QPrinter& BindQueue(const QString& name);
    bool SetupQueue(QWidget* parent, const QString& name);
    bool SetupPdf(QWidget* parent);
    void UseMinimumMargins();

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    QString chosen_; // the user's choice in the setup dialog, if any
    QString bound_;  // the queue printer_ was last set up for
    bool pdf_ = false; // printing into pdfFile_ instead of a queue
    QString pdfFile_;
};

} // namespace print
