#include "platform/print/Printer.h"

#include "platform/print/SystemPrinter.h"

#include <QCoreApplication>
#include <QPageSize>

namespace print {

namespace {

Printer* installed = nullptr;
SystemPrinter* systemPrinter = nullptr;

// QPrinter must go before the application object does.
void dropSystemPrinter()
{
    delete systemPrinter;
    systemPrinter = nullptr;
}

} // namespace

QSize DefaultPageSize()
{
    return QPageSize(QPageSize::A4).sizePixels(1200);
}

Printer& CurrentPrinter()
{
    if (installed)
        return *installed;
    if (!systemPrinter) {
        systemPrinter = new SystemPrinter;
        qAddPostRoutine(dropSystemPrinter);
    }
    return *systemPrinter;
}

ScopedPrinter::ScopedPrinter(Printer& printer) : previous_(installed)
{
    installed = &printer;
}

ScopedPrinter::~ScopedPrinter()
{
    installed = previous_;
}

} // namespace print
