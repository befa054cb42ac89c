#include "viewer/PrintAction.h"

#include "dib/RenderDIB.h"
#include "platform/gdi/Gdi.h"
#include "platform/print/PrintJob.h"
#include "platform/print/Printer.h"
#include "viewer/PrintErrorRelay.h"
#include "viewer/PrintFUnit.h"
#include "viewer/PrintLayout.h"

#include <QCoreApplication>
#include <QPointer>
#include <QScopeGuard>

#include <optional>

namespace {

const char* const kJobTitle = QT_TRANSLATE_NOOP("PrintAction", "Lumora Bild");

void printOnePage(QWidget* owner, const DIB& picture)
{
    // A record without a picture has nothing to lay out or print.
    if (!hasPixels(picture))
        return;
    QPointer<TPrintForm> dialog = new TPrintForm(owner);
    // The owner may take the dialog with it; then there is nothing to free.
    const auto destroy = qScopeGuard([&dialog] { delete dialog.data(); });
    dialog->PrintPic = picture;
    if (dialog->exec() != 1 || !dialog)
        return;

    print::Printer& printer = print::CurrentPrinter();
    std::optional<print::PrintJob> job;
    try {
        job.emplace(printer, QCoreApplication::translate("PrintAction", kJobTitle));
    } catch (const print::NoPrinterError&) {
        // The dialog has told the user already: once per print.
        if (dialog->ToldNoPrinter())
            return;
        throw;
    }
    const QSize page = printer.PageSize();
    const int IW = DIBWidth(picture);
    const int IH = DIBHeight(picture);
    const PrintRect r = CalcPrintRect(page.width(), page.height(), IW, IH, dialog->Options());
    {
        gdi::PrinterDC dc(job->Page());
        RenderDIB(&dc, r.X, r.Y, r.Width, r.Height, picture, 0, 0, IW, IH, false, SRCCOPY, true, nullptr);
    }
    job->Finish();
}

} // namespace

void PrintPicture(QWidget* owner, const DIB& picture)
{
    try {
        printOnePage(owner, picture);
    } catch (...) {
        RaiseInEventLoop(std::current_exception());
    }
}
