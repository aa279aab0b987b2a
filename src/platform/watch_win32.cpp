// Windows has no watcher: its FTP servers run crevik from their own hooks.
#include "platform/platform_internal.h"

#include <cerrno>

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

void PlatOwnerNames(const char*, char user[kOwnerNameMax], char group[kOwnerNameMax]) {
    std::strcpy(user, "-");
    std::strcpy(group, "-");
}
bool PlatOpenForWriting(const char*) { return false; }
