/*
 * The device backend boundary: what a production line provides so that the tool reaches its handsets without
 * being rebuilt. A backend is a shared library that exports one C function, TGTLINK_BACKEND_ENTRY, which hands
 * out a table of functions. Nothing of Qt or C++ crosses this boundary: plain C types, opaque handles, buffers
 * owned by the caller.
 *
 * Versions: a backend fills in the major and minor version it was built for. The tool refuses another major
 * version. A minor version only adds functions at the end of the table; `size` tells how much of the table the
 * backend knows, and a function the backend leaves null is not offered.
 *
 * Results: every function that can fail returns TGTLINK_OK (0) or one of the negative codes below, and keeps a
 * readable text of the failure for last_error() on the calling thread.
 *
 * Threads: the tool calls one connection (and the factory data opened on it) from one thread at a time; other
 * connections may be used from other threads at once. The only thing another thread does during a call is to
 * raise the abort flag, which the backend reads through tgtlink_abort.
 *
 * Text out: functions that give text take a buffer, its size and a length pointer. The text is always
 * NUL-terminated (cut to fit), *length receives its full length without the NUL; when *length >= size the
 * caller retries with a larger buffer.
 */
#ifndef TGTLINK_BACKEND_H
#define TGTLINK_BACKEND_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TGTLINK_BACKEND_MAJOR 1
#define TGTLINK_BACKEND_MINOR 0
#define TGTLINK_BACKEND_ENTRY "tgtlink_backend_get_functions"

#if defined(_WIN32)
#define TGTLINK_BACKEND_EXPORT __declspec(dllexport)
#else
#define TGTLINK_BACKEND_EXPORT __attribute__((visibility("default")))
#endif

/* Result codes (the values of the tool's TargetErrorCode). */
#define TGTLINK_OK 0
#define TGTLINK_ERR_NO_DEVICE (-101)        /* the handset is gone, or the port has none */
#define TGTLINK_ERR_IO (-102)               /* reading or writing the handset failed */
#define TGTLINK_ERR_TIMEOUT (-103)          /* the handset did not answer in time */
#define TGTLINK_ERR_NOT_SUPPORTED (-104)    /* not available on this handset or backend */
#define TGTLINK_ERR_BAD_IMAGE (-105)        /* the handset's flash content is damaged */
#define TGTLINK_ERR_NO_FACTORY_DATA (-106)  /* no valid factory data (blank handset) */
#define TGTLINK_ERR_ABORTED (-107)          /* ended early because the abort flag was raised */
#define TGTLINK_ERR_NOT_STARTED (-108)      /* the RAM-run image or the programmer is not running */
#define TGTLINK_ERR_WRONG_CHIP (-109)       /* the RAM-run image is made for another chip */
#define TGTLINK_ERR_NO_VERSION (-110)       /* the handset reports no software version */
#define TGTLINK_ERR_OUT_OF_RANGE (-111)     /* address or size outside the flash */
#define TGTLINK_ERR_INVALID_ARGUMENT (-112) /* a value the handset cannot store, or a bad argument */
#define TGTLINK_ERR_INVALID_IMEI (-989)     /* the IMEI's check digit is wrong */

/* Connection kinds. */
#define TGTLINK_KIND_USB 1u
#define TGTLINK_KIND_SERIAL 2u
#define TGTLINK_KIND_DEBUG_HOST 3u

/* Layout values a handset does not report. */
#define TGTLINK_NOT_REPORTED 0xFFFFFFFFu

/* Factory-data fields for factory_get and factory_set. IMEI takes an index 0 to 3, the others 0. */
#define TGTLINK_FIELD_IMEI 1
#define TGTLINK_FIELD_MBSN 2
#define TGTLINK_FIELD_PSN 3
#define TGTLINK_FIELD_BT 4

typedef struct tgtlink_connection tgtlink_connection;
typedef struct tgtlink_factory_data tgtlink_factory_data;

/*
 * The tool's abort flag. Long operations (ram_run, erase, factory_load, factory_save) call requested() at least
 * every 100 ms, and end with TGTLINK_ERR_ABORTED within 500 ms of the flag going up. The flag stays on the tool's
 * side, behind a function, so that each language keeps its own atomics. May be null: nothing to abort.
 */
typedef struct tgtlink_abort
{
    int (*requested)(void *context); /* non-zero: stop */
    void *context;
} tgtlink_abort;

typedef struct tgtlink_flash_info
{
    char flash_model[32]; /* NUL-terminated; empty when the flash is not identified */
    uint32_t factory_base;
    uint32_t factory_size;
    uint32_t user_area_start;
    uint32_t user_area_size;
} tgtlink_flash_info;

typedef struct tgtlink_backend_functions
{
    uint16_t major;
    uint16_t minor;
    uint32_t size;       /* sizeof(tgtlink_backend_functions) as the backend was built */
    const char *name;    /* short name for the log, e.g. "bench" */
    const char *version; /* the backend's own version text */

    /* Called once after loading, before anything else; `options` is the station's Options= text (may be empty).
       A failure here refuses the backend. */
    int (*start)(const char *options);
    /* Called once before unloading; every handle is closed by then. */
    void (*finish)(void);
    /* Text of the last failure on the calling thread. */
    void (*last_error)(char *buffer, size_t size, size_t *length);

    /* Port names with a handset, of one kind, '\n'-separated and sorted. Ports named in `exclude`
       ('\n'-separated, may be empty) are in use elsewhere: listed when present but never opened. */
    int (*scan)(uint32_t kind, const char *exclude, char *buffer, size_t size, size_t *length);
    /* Opens the port exclusively: a second open of the same port fails until the first is closed. */
    int (*open)(const char *port, tgtlink_connection **connection);
    void (*close)(tgtlink_connection *connection);
    uint32_t (*kind)(const tgtlink_connection *connection);

    /* Handshake before a RAM-run download. */
    int (*prepare)(tgtlink_connection *connection, int version_check);
    int (*chip_id)(tgtlink_connection *connection, uint32_t *chip_id);
    int (*software_version)(tgtlink_connection *connection, char *buffer, size_t size, size_t *length);
    int (*flash_info)(tgtlink_connection *connection, tgtlink_flash_info *info);
    /* Downloads a RAM-run image (made for `kind` and `chip_id`) and starts it. */
    int (*ram_run)(tgtlink_connection *connection, uint32_t kind, uint32_t chip_id, const uint8_t *image, size_t size,
                   const tgtlink_abort *abort);
    /* TGTLINK_OK when the flash programmer started by ram_run answers. */
    int (*check_start)(tgtlink_connection *connection);
    /* Erases part of the user-data area (only there). */
    int (*erase)(tgtlink_connection *connection, uint32_t address, uint32_t size, const tgtlink_abort *abort);

    /* The factory data of the handset, for the station list `stations` ('\n'-separated). Fails with
       TGTLINK_ERR_BAD_IMAGE when the handset's data was written for another station list, TGTLINK_ERR_OUT_OF_RANGE
       when its area cannot hold a record for this one. */
    int (*factory_open)(tgtlink_connection *connection, const tgtlink_flash_info *info, const char *stations,
                        tgtlink_factory_data **data);
    void (*factory_close)(tgtlink_factory_data *data);
    /* Reads the handset's factory data into the handle. Needs a started programmer. */
    int (*factory_load)(tgtlink_factory_data *data, const tgtlink_abort *abort);
    /* Writes the handle's data to the handset. Cut at any point (power, abort), the handset keeps either the old
       or the new data, never a mix. Needs loaded or initialised data and a started programmer. */
    int (*factory_save)(tgtlink_factory_data *data, const tgtlink_abort *abort);
    /* Empties the handle's data (nothing reaches the handset until a save). */
    void (*factory_initialize)(tgtlink_factory_data *data);
    /* The handle's copy of a field; never reads the handset. */
    int (*factory_get)(tgtlink_factory_data *data, int field, int index, char *buffer, size_t size, size_t *length);
    /* Sets a field of the handle's copy. With `check_imei` an IMEI whose check digit is wrong gives
       TGTLINK_ERR_INVALID_IMEI. */
    int (*factory_set)(tgtlink_factory_data *data, int field, int index, const char *value, int check_imei);
    int (*station_query)(tgtlink_factory_data *data, const char *name, int *found, int *passed);
    /* Only the names of the station list given to factory_open. */
    int (*station_set)(tgtlink_factory_data *data, const char *name, int passed);

    /* Test only, may be null: injects a fault into the handset on `port` (for a conformance run on a handset set
       aside for it). One line of text:
         "fault OP CODE once|always"  OP ends with CODE (0: TGTLINK_ERR_IO); OP is one of connect, prepare,
                                      chipid, flashinfo, version, ramrun, checkstart, load, save, erase
         "powercut BYTES once"        the next save loses its power after BYTES bytes reached the flash
         "delay OP MS"                OP takes MS milliseconds
         "clear"                      removes every injected fault and delay */
    int (*inject)(const char *port, const char *fault);
} tgtlink_backend_functions;

/* The one exported entry point. Returns TGTLINK_OK and sets *functions to a table that lives as long as the
   library is loaded. */
typedef int (*tgtlink_backend_get_functions_fn)(const tgtlink_backend_functions **functions);

#ifdef __cplusplus
}
#endif

#endif /* TGTLINK_BACKEND_H */
