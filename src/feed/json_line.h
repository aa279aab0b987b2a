// One JSON object on one line (RFC 8259), built in a fixed buffer.
//
// Texts are bytes. Valid UTF-8 is copied as it is; the quotation mark, the
// backslash and control characters are escaped; each byte that is not part
// of valid UTF-8 becomes the lone surrogate escape \udc80..\udcff (byte
// 0x80..0xff). UTF-8 never encodes a surrogate, so the original bytes come
// back exactly: map U+DC80..U+DCFF to single bytes and encode everything
// else as UTF-8 (Python: text.encode("utf-8", "surrogateescape")). The
// plainer \u00XX would not do: it reads the same as a valid U+00XX.
#ifndef CREVIK_JSON_LINE_H
#define CREVIK_JSON_LINE_H

#include <cstddef>
#include <cstdint>

constexpr size_t kJsonLineMax = 64 * 1024;

struct JsonLine {
    char text[kJsonLineMax];
    size_t length;
    bool cut;         // something did not fit: the line must not be used
    bool afterValue;  // the next member or element needs a comma first
};

void JsonStart(JsonLine* line);  // "{"
// Members of the open object, or elements of the open array when name is null.
void JsonText(JsonLine* line, const char* name, const char* value);
void JsonNumber(JsonLine* line, const char* name, int64_t value);
// bracket '{' or '['; JsonClose takes the closing one.
void JsonOpen(JsonLine* line, const char* name, char bracket);
void JsonClose(JsonLine* line, char bracket);
// Closes the outer object and ends the line with "\n"; false when it was cut.
bool JsonFinish(JsonLine* line);

// Length of the valid UTF-8 sequence that starts at p (1 to 4), or 0.
int Utf8SequenceLength(const unsigned char* p);

#endif
