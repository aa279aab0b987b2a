// Windows has no watcher: its FTP servers run crevik from their own hooks.
#include "platform/platform_internal.h"

#include <cerrno>

#include <windows.h>

struct PlatWatcher {};

PlatWatcher* PlatOpenWatcher() {
    errno = ENOSYS;
    return nullptr;
}
void PlatCloseWatcher(PlatWatcher*) {}
int PlatAddWatch(PlatWatcher*, const char*) {
    errno = ENOSYS;
    return -1;
}
void PlatRemoveWatch(PlatWatcher*, int) {}
int PlatReadChanges(PlatWatcher*, PlatChange*, int, int) {
    errno = ENOSYS;
    return -1;
}
bool PlatStopRequested() { return false; }

long PlatStartProcess(const char* const*) {
    errno = ENOSYS;
    return -1;
}
long PlatReapChild() { return -1; }

namespace {
// Attributes of the entry itself, or 0 when it is missing or a reparse point (a link).
DWORD OwnAttributes(const char* path) {
    DWORD attrs = GetFileAttributesA(path);
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
    return attrs;
}
}  // namespace

bool PlatIsRegularFile(const char* path) {
    DWORD attrs = OwnAttributes(path);
    return attrs && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}
bool PlatIsDirectory(const char* path) { return (OwnAttributes(path) & FILE_ATTRIBUTE_DIRECTORY) != 0; }
void PlatOwnerNames(const char*, char user[kOwnerNameMax], char group[kOwnerNameMax]) {
    std::strcpy(user, "-");
    std::strcpy(group, "-");
}
bool PlatOpenForWriting(const char*) { return false; }
