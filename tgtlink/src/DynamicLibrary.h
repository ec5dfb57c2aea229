#pragma once

#include <QString>

// A shared library opened at run time. The one piece of the loader that differs per platform
// (DynamicLibraryPosix.cpp, DynamicLibraryWin.cpp).
class DynamicLibrary final
{
public:
    DynamicLibrary() = default;
    ~DynamicLibrary(); // closes

    // False with the system's reason in `error`.
    bool open(const QString &path, QString *error);
    // Null with the reason in `error` when the library does not export `name`.
    void *symbol(const char *name, QString *error) const;
    void close();
    bool isOpen() const { return m_handle != nullptr; }

    // The file name of a library called `base` on this platform ("tgtlink-bench" gives "tgtlink-bench.so").
    static QString fileName(const QString &base);

private:
    DynamicLibrary(const DynamicLibrary &) = delete;
    DynamicLibrary &operator=(const DynamicLibrary &) = delete;

    void *m_handle = nullptr;
};
