// Any upload log is read without harm, and one save normalises it: the saved
// log reads back to the same records, so saving again gives the same bytes.
#include "fuzz_support.h"
#include "util/util.h"

namespace {

// Reads `from` into a fresh log, checks every record and saves it as `to`.
int32_t ReadAndSave(const char* from, const char* to) {
    UploadLog theLog(fuzz::DefaultRunSettings());
    FUZZ_CHECK(theLog.ReadLogFile(from));
    for (const void* e = theLog.records->First(); e; e = theLog.records->Next()) {
        const UploadRecord* r = static_cast<const UploadRecord*>(e);
        for (const char* name : {r->user, r->group})
            FUZZ_CHECK(strnlen(name, kNameField) < kNameField && *name && !std::strpbrk(name, "|\n"));
    }
    CopyText(theLog.logPath, to);
    theLog.modified = true;
    FUZZ_CHECK(theLog.WriteLogFile());
    return theLog.records->Count();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Put("input.log", data, size);
    int32_t count = ReadAndSave("input.log", "first.log");
    FUZZ_CHECK(ReadAndSave("first.log", "second.log") == count);
    const std::string first = test_files::FileText("first.log"), second = test_files::FileText("second.log");
    if (first != second) std::fprintf(stderr, "first save:\n%s\nsecond save:\n%s\n", first.c_str(), second.c_str());
    FUZZ_CHECK(first == second);
    return 0;
}
