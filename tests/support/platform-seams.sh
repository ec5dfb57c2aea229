#!/bin/sh
# Every call into the operating system sits in a seam: a file named *Posix.cpp or *Win.cpp that the build
# picks for its platform. Elsewhere in the product no system header, no system call and no question of which
# system the build is for. The one exception is the backend interface's export macro, a public C header that
# a line's own backend compiles on either system.
# Use: platform-seams.sh SOURCE_DIR. Prints each offending line and fails when there is one.
set -u
cd "$1" || exit 2
headers='#[[:space:]]*include[[:space:]]*<(unistd|fcntl|termios|poll|dlfcn|pwd|grp|dirent|signal|windows|winsock2|io)\.h>|#[[:space:]]*include[[:space:]]*<sys/'
conditions='#[[:space:]]*(if|ifdef|ifndef|elif)\b.*\b(Q_OS_[A-Z0-9]+|_WIN32|_WIN64|__linux__|__unix__|__APPLE__|__MINGW32__|_MSC_VER)\b'
calls='(^|[^.>:[:alnum:]_])(::)?(fsync|fdatasync|flock|fcntl|mmap|munmap|madvise|lstat|fstat|umask|setrlimit|dlopen|dlsym|dlclose|tcsetattr|tcgetattr|tcflush|ioctl|sigaction|kill|access|poll|rename|_commit|_get_osfhandle|CreateFileW|LockFileEx|FlushFileBuffers|MoveFileExW|CreateMutexW|LoadLibraryExW|WSAPoll)[[:space:]]*\('
found=$(find src tgtlink tools \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) \
        ! -name '*Posix.cpp' ! -name '*Win.cpp' ! -path 'tgtlink/include/tgtlink/tgtlink_backend.h' -print |
    sort | xargs grep -nE "$headers|$conditions|$calls" /dev/null)
if [ -n "$found" ]; then
    echo "System calls or system checks outside the platform seams (*Posix.cpp, *Win.cpp):"
    echo "$found"
    exit 1
fi
echo "Every system call is in a seam."
