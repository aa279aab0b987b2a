#include "status/status_internal.h"

void SettleStatusDir(const char* pattern, const char* target) {
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst(pattern, &entry);
    if (!find) {
        if (target) PlatCreateDir(target);
        return;
    }
    if (target)
        PlatRename(entry.name, target);
    else
        PlatRemoveDir(entry.name);
    while (PlatFindNext(find, &entry)) PlatRemoveDir(entry.name);
    PlatFindClose(find);
}
