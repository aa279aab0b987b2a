// The FTP server's ACL file, whatever it holds, loads into entries whose text
// fields are terminated within their arrays and whose keys are 32-bit.
#include "fuzz_support.h"
#include "sfv/sfv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Put(kAclFileName, data, size);
    SfvList lists(fuzz::DefaultRunSettings());
    FUZZ_CHECK(lists.LoadAclFile(fuzz::ScratchDir()));
    for (const void* e = lists.acl->First(); e; e = lists.acl->Next()) {
        const AclEntry* a = static_cast<const AclEntry*>(e);
        auto filled = [](const char* text, size_t room) { return strnlen(text, room) < room && *text; };
        FUZZ_CHECK(filled(a->user, sizeof a->user) && filled(a->group, sizeof a->group));
        FUZZ_CHECK(filled(a->tag, sizeof a->tag));
        FUZZ_CHECK(a->key >= 0 && a->key <= 4294967295.0 && a->goodFlag && a->otherFlag);
    }
    return 0;
}
