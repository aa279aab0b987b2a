#include <cstring>
#include <initializer_list>

#include "status/status_internal.h"

bool IsStatusEntryName(const Settings& settings, const char* name) {
    char form[kMaxPath];
    for (bool isSub : {false, true})
        if (AnyIncompleteEntryForm(settings, isSub, form) && PlatWildcardMatch(form, name)) return true;
    const char* templates[] = {settings.incomplete, settings.complete, settings.upDirName};
    TemplateVars any;
    for (const TemplateKind* kind : {&kProgressPlaceholders, &kCompletePlaceholders, &kUpDirPlaceholders})
        any.AddAny(*kind);
    for (const char* templ : templates) {
        // A template of placeholders alone would claim every name.
        if (!ExpandWhole(any, templ, form) || form[std::strspn(form, kAnyValue)] == '\0') continue;
        if (PlatWildcardMatch(form, name)) return true;
    }
    return false;
}
