// Incomplete entries seen from the directory they lie in: which names the
// templates can give, and which release a name belongs to.
#include <cstring>

#include "status/status_internal.h"
#include "util/util.h"

bool IncompleteEntryForm(const Settings& settings, const char* releaseDir, char parent[kMaxPath],
                         char form[kMaxPath]) {
    ReleaseLink link;
    if (!ReleaseLinkOf(settings, releaseDir, &link)) return false;
    CopyText(parent, kMaxPath, link.parent);
    CopyText(form, kMaxPath, link.pattern + std::strlen(link.parent));
    return true;
}

bool AnyIncompleteEntryForm(const Settings& settings, bool isSub, char form[kMaxPath]) {
    TemplateVars any;
    any.AddAny(kParentPlaceholders);
    if (!ExpandWhole(any, IncompleteTemplate(settings, isSub), form)) return false;
    // A template of placeholders alone would claim every name in the directory.
    return form[std::strspn(form, "*")] != '\0';
}
