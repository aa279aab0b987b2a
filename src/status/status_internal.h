// Helpers shared by the status files; not part of the status interface.
#ifndef CREVIK_STATUS_INTERNAL_H
#define CREVIK_STATUS_INTERNAL_H

#include "status/status.h"

constexpr const char* kGeneral = "GENERAL";
constexpr const char* kTemplate = "TEMPLATE";
constexpr const char* kAnyValue = "*";  // a placeholder in a template's wildcard form
constexpr int kValueMax = 255;          // characters of a placeholder value

// ExpandTemplate that tells whether the whole expansion fitted. A cut name
// could stand for another entry, so callers refuse it.
bool ExpandWhole(const char* templ, char out[kMaxPath]);

// Copies a value that goes into an entry name. Path separators and wildcards
// become '_': the name can then neither point outside its directory nor let
// the wildcard form match someone else's entry.
void MakeNameValue(const char* value, char out[kValueMax + 1]);

// The bar for a decimal percentage with GENERAL/PROGRESS_FILL and PROGRESS_BLNK.
const char* ConfiguredProgressBar(const char* percent);

// Gives the status directory matched by `pattern` the name `target`: the first
// match is renamed, further ones are removed as empty directories, and the
// directory is created when nothing matches. A null target removes every match.
void SettleStatusDir(const char* pattern, const char* target);

#endif
