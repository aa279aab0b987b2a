// Path, line reading and string routines shared by every subsystem, on the
// platform alone.
#ifndef CREVIK_UTIL_H
#define CREVIK_UTIL_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

constexpr int kMaxPart = 255;  // directory, file name and extension are each cut to this

// ---- paths: drive, directory, name and extension; '/' and '\' both separate ----
void GetDirPart(const char* path, char out[kMaxPath]);   // "C:\ftp\rel\" of "C:\ftp\rel\file.rar"
void GetNamePart(const char* path, char out[kMaxPath]);  // "file.rar"
void GetExtPart(const char* path, char out[kMaxPath]);   // ".rar"; "" without a dot
// Parent of the directory that holds `path`, and that directory's name. The
// outputs may be the input buffer.
void SplitParentDir(const char* path, char parent[kMaxPath], char name[kMaxPath]);

// A file (not a directory) that can be opened for reading.
bool FileExists(const char* path);

// Reads a file line by line as fgets does: each read takes up to size-1
// characters, through the first LF, and is terminated; bytes as they are.
struct LineReader {
    PlatFile* file;
    size_t pos, end;
    char buffer[65536];
};
// False, with errno set, when the path is no readable file.
bool OpenLines(LineReader* reader, const char* path);
// False at the end of the file (or on a read error) with nothing read.
bool ReadLine(LineReader* reader, char* out, int size);
void CloseLines(LineReader* reader);

// ---- text ----
bool IsBlank(char c);  // space, tab, LF, VT, FF, CR; never a byte >= 0x80
void TrimLeft(char* text);
void TrimRight(char* text);
char FirstNonBlank(const char* text);  // NUL for an empty or all-blank text

// Copies at most size-1 bytes of src and always terminates; cuts longer text.
void CopyText(char* dst, size_t size, const char* src);
template <size_t N> void CopyText(char (&dst)[N], const char* src) { CopyText(dst, N, src); }

// atoi/atol rules (blanks, sign, digits; 0 without digits), clamped to 32 bits.
int32_t ParseInt32(const char* text);

// strtoul rules of a 32-bit C library: blanks, sign, digits (base 16 also takes
// "0x"); 0 without digits; 0xFFFFFFFF beyond 32 bits; a minus negates modulo 2^32.
uint32_t StrToU32(const char* text, int base);

// A file name as printed for a person: as it is, or, when it holds control
// characters or (POSIX) bytes that are no UTF-8, quoted the way `ls` quotes it
// ('a'$'\033''[31mb').
std::string ShownName(const char* name);

// ASCII-only case-insensitive equality, for names and extensions.
bool EqualNoCase(const char* a, const char* b);

// "700KB", "1.5MB", "2.0GB", "1.0TB" from a count of kilobytes.
struct SizeText {
    char text[64];
    operator const char*() const { return text; }
};
SizeText FormatSize(double kilobytes);

#endif
