#include "platform/print/PrintJob.h"

namespace print {

PrintJob::PrintJob(Printer& printer, const QString& title) : printer_(printer)
{
    printer_.BeginDoc(title);
}

PrintJob::~PrintJob()
{
    if (open_)
        printer_.Abort();
}

void PrintJob::Finish()
{
    open_ = false;
    try {
        printer_.EndDoc();
    } catch (...) {
        printer_.Abort();
        throw;
    }
}

} // namespace print
