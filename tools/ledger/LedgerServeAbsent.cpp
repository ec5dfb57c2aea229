// `ledger serve` in builds without Qt's HTTP server (the stations' Windows build): the line view runs on a
// machine beside the ledger's server.
#include "LedgerCommand.h"

int LedgerCommand::serve(QStringList args)
{
    Q_UNUSED(args);
    return fail(QStringLiteral("This build of ledger has no line view: run \"ledger serve\" from a Linux build, "
                               "beside the ledger's server."));
}
