#pragma once

#include <QString>

// What this build is: the package's version and the commit it was built from, for --version and About.
namespace BuildInfo {

QString packageVersion(); // the version of the Debian package, e.g. 10.0.1
QString buildId();        // git describe of the sources, or the day of the build outside a repository
// "Package 10.0.1, build 1a2b3c4d5e" in the current language, for the About box.
QString aboutLine();

} // namespace BuildInfo
