#pragma once

#include <QString>

// The directory beside the executable, where cfg/, log/ and tr/ live. Tests point it elsewhere.
class AppPaths final
{
public:
    static QString appDir();
    static QString filePath(const QString &relative);
    static void setAppDirForTesting(const QString &dir); // empty restores the executable's directory
};
