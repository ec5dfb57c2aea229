/* Loads the DLLs that scripts/windows-deps.sh builds and prints their versions, one a line, as their
 * pkg-config files give them: "libzip 1.7.3", "libpq 15.18", "freexl 1.0.6". Windows refuses to start
 * it if a DLL or one of the DLLs it imports is missing, or lacks a function. */
#include <freexl.h>
#include <libpq-fe.h>
#include <zip.h>

#include <stdio.h>

int main(void)
{
    int pq = PQlibVersion(); /* 150018 for 15.18 */
    printf("libzip %s\nlibpq %d.%d\nfreexl %s\n", zip_libzip_version(), pq / 10000, pq % 100, freexl_version());
    return 0;
}
