// The FTP server's ACL file, whatever it holds, loads into entries whose text
// fields are terminated within their arrays and whose keys are 32-bit.
#include <cstring>

#include "fuzz_support.h"
#include "sfv/sfv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteFile(kAclFileName, data, size);
    fuzz::ResetLog();
    FUZZ_CHECK(theLog.LoadAclFile(fuzz::ScratchDir()));
    for (const void* e = theLog.aclEntries->First(); e; e = theLog.aclEntries->Next()) {
        const AclEntry* a = static_cast<const AclEntry*>(e);
        FUZZ_CHECK(strnlen(a->user, sizeof a->user) < sizeof a->user && *a->user);
        FUZZ_CHECK(strnlen(a->group, sizeof a->group) < sizeof a->group && *a->group);
        FUZZ_CHECK(strnlen(a->tag, sizeof a->tag) < sizeof a->tag && *a->tag);
        FUZZ_CHECK(a->key >= 0 && a->key <= 4294967295.0 && a->goodFlag && a->otherFlag);
    }
    return 0;
}
