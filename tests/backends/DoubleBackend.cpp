// A deliberately broken backend for the conformance kit's own test: the bench backend (found in
// TGTLINK_BACKEND_DIR) behind a table that breaks one behaviour, chosen by the options at start:
//   ignore-abort   long operations never see the abort flag
//   lying-save     a failed save is reported as a success
//   refuse-start   the backend does not start
#include "DynamicLibrary.h"
#include "TextOut.h"
#include "tgtlink/tgtlink_backend.h"

#include <QDir>
#include <string>

namespace {

DynamicLibrary inner;
const tgtlink_backend_functions *bench = nullptr;
tgtlink_backend_functions table;
std::string mode;
thread_local std::string ownError;

int doubleStart(const char *options)
{
    mode = options ? options : "";
    if (mode == "refuse-start") {
        ownError = "refused by the test double";
        return TGTLINK_ERR_NOT_SUPPORTED;
    }
    return bench->start("");
}

void doubleLastError(char *buffer, size_t size, size_t *length)
{
    if (!ownError.empty())
        TextOut::copy(ownError, buffer, size, length);
    else
        bench->last_error(buffer, size, length);
}

const tgtlink_abort *passed(const tgtlink_abort *abort)
{
    return mode == "ignore-abort" ? nullptr : abort;
}

int doubleRamRun(tgtlink_connection *c, uint32_t kind, uint32_t chip, const uint8_t *image, size_t size,
                 const tgtlink_abort *abort)
{
    return bench->ram_run(c, kind, chip, image, size, passed(abort));
}

int doubleErase(tgtlink_connection *c, uint32_t address, uint32_t size, const tgtlink_abort *abort)
{
    return bench->erase(c, address, size, passed(abort));
}

int doubleLoad(tgtlink_factory_data *data, const tgtlink_abort *abort)
{
    return bench->factory_load(data, passed(abort));
}

int doubleSave(tgtlink_factory_data *data, const tgtlink_abort *abort)
{
    const int rc = bench->factory_save(data, passed(abort));
    return mode == "lying-save" ? TGTLINK_OK : rc;
}

} // namespace

extern "C" TGTLINK_BACKEND_EXPORT int tgtlink_backend_get_functions(const tgtlink_backend_functions **functions)
{
    if (!bench) {
        const QString dir = qEnvironmentVariable("TGTLINK_BACKEND_DIR");
        const tgtlink_backend_get_functions_fn entry =
            inner.open(QDir(dir).filePath(DynamicLibrary::fileName(QStringLiteral("tgtlink-bench"))), nullptr)
                ? reinterpret_cast<tgtlink_backend_get_functions_fn>(inner.symbol(TGTLINK_BACKEND_ENTRY, nullptr))
                : nullptr;
        if (!entry || entry(&bench) != TGTLINK_OK)
            return TGTLINK_ERR_NOT_SUPPORTED;
        table = *bench;
        table.name = "double";
        table.start = doubleStart;
        table.last_error = doubleLastError;
        table.ram_run = doubleRamRun;
        table.erase = doubleErase;
        table.factory_load = doubleLoad;
        table.factory_save = doubleSave;
    }
    *functions = &table;
    return TGTLINK_OK;
}
