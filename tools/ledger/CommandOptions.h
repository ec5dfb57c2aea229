#pragma once

#include <QStringList>

// Takes "--name value" out of `args`; false when the option is there without a value.
inline bool takeOption(QStringList &args, const QString &name, QString *value, bool *present = nullptr)
{
    const qsizetype at = args.indexOf(name);
    if (present)
        *present = at >= 0;
    if (at < 0)
        return true;
    if (at + 1 >= args.size())
        return false;
    *value = args.at(at + 1);
    args.remove(at, 2);
    return true;
}
