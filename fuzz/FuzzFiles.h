#pragma once

#include <QByteArray>
#include <QString>

// A scratch folder for the targets whose readers take a file, in memory (/dev/shm) when there is
// one, so an execution costs no disk write. Made once per process and removed at its end.
namespace FuzzFiles {

// The folder, ending in "/".
const QString& Folder();

// Writes bytes to Folder() + name and returns the path.
QString Put(const QString& name, const QByteArray& bytes);

} // namespace FuzzFiles
