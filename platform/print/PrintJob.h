#pragma once
// One print job held open for the length of a scope. If the scope is left
// before Finish() (an error on the way), the job is ended with Abort(), so the
// printer is free for the next job.

#include "platform/print/Printer.h"

class QPainter;
class QString;

namespace print {

class PrintJob {
public:
    // Begins the job; throws what Printer::BeginDoc throws.
    PrintJob(Printer& printer, const QString& title);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    QPainter& Page() { return printer_.Canvas(); }
    // Ends the job: the page goes to the printer. Throws what EndDoc throws;
    // the job counts as ended either way.
    void Finish();

private:
    Printer& printer_;
    bool open_ = true;
};

} // namespace print
