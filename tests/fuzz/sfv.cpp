// The release's .sfv comes from the uploader: every entry it gives must name
// a plain file of the release, never a path, the directory or its parent,
// with none of the line's padding blanks around it.
#include "fuzz_support.h"
#include "sfv/sfv.h"
#include "util/util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Put("release.sfv", data, size);
    SfvList sfv(fuzz::DefaultRunSettings());
    sfv.LoadSfvFile(fuzz::ScratchDir());
    FUZZ_CHECK(sfv.entries);
    for (const void* e = sfv.entries->First(); e; e = sfv.entries->Next()) {
        const SfvEntry* s = static_cast<const SfvEntry*>(e);
        size_t len = strnlen(s->name, kMaxPath);
        FUZZ_CHECK(len > 0 && len < static_cast<size_t>(kMaxPath));
        FUZZ_CHECK(!IsBlank(s->name[0]) && !IsBlank(s->name[len - 1]));
        FUZZ_CHECK(!std::strpbrk(s->name, "/\\:") && std::strcmp(s->name, ".") != 0 && std::strcmp(s->name, "..") != 0);
        FUZZ_CHECK(s->key == FileKey(s->name) && s->crc >= 0 && s->crc <= 4294967295.0 && s->good == 0);
    }
    return 0;
}
