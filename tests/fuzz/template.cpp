// Templates come from Crevik.ini and values from the command line: the
// expansion always fits a path buffer, and is cut only when it fills it.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "status/status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // NUL-separated: the template, then name and value pairs.
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size && parts.size() <= 7; ++i) {
        if (data[i]) parts.back().push_back(static_cast<char>(data[i]));
        else parts.emplace_back();
    }
    TemplateVars vars;
    for (size_t i = 1; i + 1 < parts.size(); i += 2) vars.Add(parts[i].c_str(), parts[i + 1].c_str());

    char out[kMaxPath], again[kMaxPath];
    bool whole = ExpandWhole(vars, parts[0].c_str(), out);
    size_t len = strnlen(out, kMaxPath);
    FUZZ_CHECK(len < static_cast<size_t>(kMaxPath) && (whole || len == static_cast<size_t>(kMaxPath - 1)));
    // Without a placeholder the text is copied as it is.
    if (parts[0].find('$') == std::string::npos)
        FUZZ_CHECK(whole == (parts[0].size() < static_cast<size_t>(kMaxPath)) && parts[0].compare(0, len, out) == 0);
    ExpandTemplate(vars, parts[0].c_str(), again);
    FUZZ_CHECK(std::strcmp(out, again) == 0);
    return 0;
}
