#include <cstring>

#include "status/status_internal.h"
#include "util/util.h"

void TemplateVars::Add(const char* name, const char* value) {
    TemplateVar var;
    std::memset(&var, 0, sizeof var);
    CopyText(var.name, name ? name : "");
    CopyText(var.value, value ? value : "");
    var.nameLength = static_cast<int16_t>(std::strlen(var.name));
    vars.push_back(var);
}

void TemplateVars::AddAll(const TemplateKind& kind, const char* const* values) {
    for (int i = 0; i < kind.count; ++i) Add(kind.names[i], values[i]);
}

void TemplateVars::AddAny(const TemplateKind& kind) {
    for (int i = 0; i < kind.count; ++i) Add(kind.names[i], kAnyValue);
}

const TemplateVar* TemplateVars::Find(const char* text) const {
    if (text[0] != '$') return nullptr;
    for (const TemplateVar& var : vars) {
        // An empty name would swallow every '$'.
        if (var.nameLength > 0 && std::strncmp(text + 1, var.name, var.nameLength) == 0) return &var;
    }
    return nullptr;
}

bool ExpandWhole(const TemplateVars& vars, const char* templ, char out[kMaxPath]) {
    size_t used = 0;
    for (const char* p = templ; *p;) {
        const TemplateVar* var = vars.Find(p);
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

void ExpandTemplate(const TemplateVars& vars, const char* templ, char out[kMaxPath]) {
    ExpandWhole(vars, templ, out);
}

void MakeNameValue(const char* value, char out[kValueMax + 1]) {
    CopyText(out, kValueMax + 1, value ? value : "");
    for (char* p = out; *p; ++p)
        if (*p == '/' || *p == '\\' || *p == '*' || *p == '?') *p = '_';
}

ProgressBar MakeProgressBar(int32_t length32, int32_t percent, char blank, char fill) {
    ProgressBar bar;
    int64_t length = length32;
    // A longer setting is held to the buffer, so the bar still shows the true share.
    if (length > kProgressBarMax) length = kProgressBarMax;
    if (length < 0) length = 0;
    int64_t done = static_cast<int64_t>(percent) * length / 100;
    if (done < 1) done = 0;
    if (done > kProgressBarMax) done = kProgressBarMax;
    int64_t total = done > length ? done : length;
    std::memset(bar.text, fill, static_cast<size_t>(done));
    std::memset(bar.text + done, blank, static_cast<size_t>(total - done));
    bar.text[total] = '\0';
    return bar;
}

ProgressBar ConfiguredProgressBar(const Settings& settings, const char* percent) {
    return MakeProgressBar(settings.progressLength, ParseInt32(percent), settings.progressBlank,
                           settings.progressFill);
}
