#pragma once

#include <QString>

// Where the tool's files live. Read-only files (tr/, ramrun/, the station list, the manuals) sit beside the
// executable. Writable ones (cfg/ with the settings and histories, log/, the bench) sit there too in a build
// tree; an installed tool keeps them in a data directory of their own, named by DOVERARIZ_DATA_DIR or by the
// file "data-location" beside the executable, so that an upgrade, which replaces everything beside the
// executable, never touches them. Tests point both elsewhere.
class AppPaths final
{
public:
    static QString appDir();
    static QString filePath(const QString &relative);

    static QString dataDir();
    static QString dataFilePath(const QString &relative);
    // True when the writable files live apart from the executable (an installed tool).
    static bool hasSeparateDataDir();

    // For an installed tool: the bench of simulated handsets moves to the data directory (unless TGTLINK_BENCH
    // names one), and new files are made writable for the station's group, which every operator account shares.
    // Does nothing in a build tree.
    static void applyInstalledLayout();

    static void setAppDirForTesting(const QString &dir); // empty restores the executable's directory

    static constexpr const char *DataDirVariable = "DOVERARIZ_DATA_DIR";
    static constexpr const char *LocationFileName = "data-location";
};
