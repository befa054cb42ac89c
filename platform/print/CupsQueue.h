#pragma once
// What the CUPS scheduler says about a queue, asked directly: Qt's print
// support hands a job over and forgets it, so a queue that refuses jobs
// would otherwise print nothing and say nothing.

#include <QString>

namespace print {

struct QueueState {
    bool known = false;     // the scheduler answered for this queue
    bool accepting = true;  // printer-is-accepting-jobs
    QString reason;         // printer-state-message, as the administrator gave it
};

// Asks the local scheduler about the queue. A scheduler that does not
// answer gives an unknown state.
QueueState AskQueue(const QString& name);

// After a job was handed to CUPS in this thread: the scheduler's refusal of
// the last request, empty when it was taken.
QString LastRequestRefusal();

} // namespace print
