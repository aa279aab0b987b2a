#include <cstdarg>
#include <cstring>

#include "config/ini_config.h"
#include "log/ordered_list.h"
#include "status/status_internal.h"
#include "util/util.h"

namespace {

constexpr int kDefaultProgressLength = 20;

OrderedList table(sizeof(TemplateVar), nullptr);

}  // namespace

void TemplateVars::Clear() {
    while (table.Last()) table.RemoveCurrent();
}

void TemplateVars::Add(int count, ...) {
    va_list args;
    va_start(args, count);
    for (int i = 0; i < count; ++i) {
        const char* name = va_arg(args, const char*);
        const char* value = va_arg(args, const char*);
        TemplateVar var;
        std::memset(&var, 0, sizeof var);
        CopyText(var.name, name ? name : "");
        CopyText(var.value, value ? value : "");
        var.nameLength = static_cast<int16_t>(std::strlen(var.name));
        table.Append(&var);
    }
    va_end(args);
}

const TemplateVar* TemplateVars::Find(const char* text) {
    if (text[0] != '$') return nullptr;
    for (void* e = table.First(); e; e = table.Next()) {
        const TemplateVar* var = static_cast<const TemplateVar*>(e);
        // An empty name would swallow every '$'.
        if (var->nameLength > 0 && std::strncmp(text + 1, var->name, var->nameLength) == 0) return var;
    }
    return nullptr;
}

bool ExpandWhole(const char* templ, char out[kMaxPath]) {
    size_t used = 0;
    for (const char* p = templ; *p;) {
        const TemplateVar* var = TemplateVars::Find(p);
        const char* piece = var ? var->value : p;
        size_t len = var ? std::strlen(var->value) : 1;
        p += var ? 1 + var->nameLength : 1;
        if (used + len > static_cast<size_t>(kMaxPath - 1)) {
            std::memcpy(out + used, piece, kMaxPath - 1 - used);
            out[kMaxPath - 1] = '\0';
            return false;
        }
        std::memcpy(out + used, piece, len);
        used += len;
    }
    out[used] = '\0';
    return true;
}

void ExpandTemplate(const char* templ, char out[kMaxPath]) { ExpandWhole(templ, out); }

void MakeNameValue(const char* value, char out[kValueMax + 1]) {
    CopyText(out, kValueMax + 1, value ? value : "");
    for (char* p = out; *p; ++p)
        if (*p == '/' || *p == '\\' || *p == '*' || *p == '?') *p = '_';
}

const char* MakeProgressBar(int32_t percent, char blank, char fill) {
    static char bar[kProgressBarMax + 1];
    int64_t length = theConfig.GetInt(kGeneral, "PROGRESS_LENGTH", kDefaultProgressLength);
    // A longer setting is held to the buffer, so the bar still shows the true share.
    if (length > kProgressBarMax) length = kProgressBarMax;
    if (length < 0) length = 0;
    int64_t done = static_cast<int64_t>(percent) * length / 100;
    if (done < 1) done = 0;
    if (done > kProgressBarMax) done = kProgressBarMax;
    int64_t total = done > length ? done : length;
    std::memset(bar, fill, static_cast<size_t>(done));
    std::memset(bar + done, blank, static_cast<size_t>(total - done));
    bar[total] = '\0';
    return bar;
}

const char* ConfiguredProgressBar(const char* percent) {
    char fill = theConfig.GetString(kGeneral, "PROGRESS_FILL", "#")[0];
    char blank = theConfig.GetString(kGeneral, "PROGRESS_BLNK", "-")[0];
    return MakeProgressBar(ParseInt32(percent), blank, fill);
}
