// A zip release: a directory without a .sfv whose uploads are .zip files.
// What its zips are, whether one is good, and the volume count its
// file_id.diz gives, which plays the part of the .sfv's file count.
#ifndef CREVIK_ZIP_RELEASE_H
#define CREVIK_ZIP_RELEASE_H

#include <cstdint>
#include <string>
#include <vector>

#include "zip/zip.h"

bool IsZipName(const char* name);  // ends in ".zip", any letter case
// The regular .zip files of `dir` ("" or a path ending in the separator), in
// the search's name order; with a suffix, the files named NAME.zip<suffix>.
std::vector<std::string> ZipNamesIn(const char* dir, const char* suffix = "");
// The count of the file_id.diz (any letter case) in `dir`; 0 without one or without a count.
int32_t ReleaseVolumeCount(const char* dir);

// Tests the zip `name` of the release `dir`. A good one holding a
// file_id.diz gives it to the release when the release has none yet;
// `wroteDiz` tells whether this test did.
ZipReport TestReleaseZip(const char* dir, const char* name, bool* wroteDiz);

#endif
