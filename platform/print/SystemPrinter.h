#pragma once
// The printer of the printing system (CUPS through Qt's print support).

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

private:
    // The device, bound to the current printer. Throws kNoDefaultPrinter.
    QPrinter& Device();
    void UseMinimumMargins();

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    QString chosen_; // the user's choice in the setup dialog, if any
    QString bound_;  // the queue printer_ was last set up for
};

} // namespace print
