#pragma once
// Opening files that someone else may have put in place: only a regular file is opened,
// and never in a way that waits (a FIFO or a device under a file's name would block
// open() or read() without end).
#include <QFile>
#include <QString>

// Opens fsPath for reading into `file` when it is a regular file; false otherwise.
bool OpenRegularFile(QFile& file, const QString& fsPath);
