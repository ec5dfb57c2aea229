#pragma once

#include <QByteArray>
#include <QString>

// A private scratch folder for one fuzzing process, removed when the process ends normally.
namespace FuzzWorkDir {

QString dir();
QString path(const QString &name);
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

} // namespace FuzzWorkDir
