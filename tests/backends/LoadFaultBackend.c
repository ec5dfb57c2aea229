/* Backends that the loader must refuse, one per build of this file: LOAD_FAULT_NO_ENTRY exports no entry
   point, LOAD_FAULT_MAJOR claims another major version, LOAD_FAULT_INCOMPLETE leaves required functions out.
   Plain C: the interface header must stay usable from C. */
#include "tgtlink/tgtlink_backend.h"

static int startOk(const char *options)
{
    (void)options;
    return TGTLINK_OK;
}

static void finish(void) {}

static tgtlink_backend_functions functions;

#ifdef LOAD_FAULT_NO_ENTRY
TGTLINK_BACKEND_EXPORT int tgtlink_backend_get_table(const tgtlink_backend_functions **out)
#else
TGTLINK_BACKEND_EXPORT int tgtlink_backend_get_functions(const tgtlink_backend_functions **out)
#endif
{
    functions.major = TGTLINK_BACKEND_MAJOR;
#ifdef LOAD_FAULT_MAJOR
    functions.major = TGTLINK_BACKEND_MAJOR + 1;
#endif
    functions.minor = 0;
    functions.size = sizeof functions;
    functions.name = "load-fault";
    functions.version = "0";
    functions.start = startOk;
    functions.finish = finish;
    /* Everything else left null: only LOAD_FAULT_INCOMPLETE gets as far as the table's check. */
    *out = &functions;
    return TGTLINK_OK;
}
