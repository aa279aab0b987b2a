// An uploaded .zip is the uploader's bytes: whatever they are, the test ends
// in a verdict, keeps at most a bounded file_id.diz, and writes nothing.
#include "fuzz_support.h"
#include "zip/zip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Put("upload.zip", data, size);
    ZipReport report = ZipTestFile("upload.zip");
    FUZZ_CHECK(report.verdict >= ZipVerdict::Good && report.verdict <= ZipVerdict::UnsafeName);
    FUZZ_CHECK(std::strcmp(ZipVerdictText(report.verdict), "?") != 0);
    FUZZ_CHECK(report.verdict != ZipVerdict::Good || report.members > 0);
    FUZZ_CHECK(!report.hasDiz || (report.verdict == ZipVerdict::Good && report.diz.size() <= kDizMax));
    int32_t count = DizVolumeCount(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(count >= 0 && count <= 999);
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst("*", &entry);
    FUZZ_CHECK(find && !PlatFindNext(find, &entry));  // upload.zip alone
    PlatFindClose(find);
    return 0;
}
