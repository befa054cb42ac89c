#pragma once
// Writing a file so that it appears whole or not at all: the bytes go into a
// temporary file in the same folder, which replaces the named file only once
// everything reached the disk. Unlike QSaveFile it keeps the system's own
// error number, so the caller can tell a full disk from a name that is too
// long or a folder that is missing.

#include <QByteArray>
#include <QString>

// Writes data to fileName. A symbolic link is followed and its target
// written; an existing file keeps its permissions. Answers 0, or the errno
// of the step that failed; then the named file is as it was and no
// temporary file is left.
int WriteWholeFile(const QString& fileName, const QByteArray& data);
