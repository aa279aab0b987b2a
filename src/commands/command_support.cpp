#include "commands/command_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands/commands.h"
#include "release/release.h"
#include "sfv/crc_ahead.h"
#include "status/status.h"
#include "util/util.h"

namespace {

void ClearProgressLine(Progress* progress) {
    if (!progress->drawn) return;
    std::fputs("\r\033[K", stderr);
    progress->drawn = false;
}

void DrawProgressLine(Progress* progress) {
    double seconds = (PlatClockMs() - progress->startMs) / 1000.0;
    double mbps = seconds > 0 ? static_cast<double>(progress->bytes) / (1024.0 * 1024.0) / seconds : 0.0;
    std::fprintf(stderr, "\r\033[K%d of %d files, %.1f MB/s", progress->done, progress->total, mbps);
    std::fflush(stderr);
    progress->drawn = true;
}

bool IsSep(char c) { return c == '/' || c == '\\'; }

}  // namespace

void ReportVerdict(Progress* progress, FileVerdict verdict, const char* name, ReleaseTally* tally) {
    const char* word = "OK";
    ++tally->files;
    switch (verdict) {
    case FileVerdict::Ok:
        ++tally->ok;
        break;
    case FileVerdict::Bad:
        word = "BAD";
        ++tally->bad;
        break;
    case FileVerdict::Missing:
        word = "MISSING";
        ++tally->missing;
        break;
    }
    ClearProgressLine(progress);
    std::printf("%-9s%s\n", word, ShownName(name).c_str());
    if (progress->active) std::fflush(stdout);
}

void ReportSummary(const char* label, const ReleaseTally& tally) {
    std::printf("%s: %d files, %d ok, %d bad, %d missing\n", ShownName(label).c_str(), tally.files, tally.ok,
                tally.bad, tally.missing);
    std::fflush(stdout);
}

void AddVolumeCount(int32_t count, ReleaseTally* tally) {
    if (count <= tally->files) return;
    tally->missing += count - tally->files;
    tally->files = count;
}

int TallyStatus(const ReleaseTally& tally) { return tally.ok == tally.files ? kExitOk : kExitFound; }

void ReleaseLabel(const Settings& settings, const char* dir, char out[kMaxPath]) {
    char parent[kMaxPath], name[kMaxPath], sub[kMaxPath];
    if (SplitReleasePath(settings, dir, parent, name, sub) && *name)
        std::snprintf(out, kMaxPath, "%s/%s", name, sub);
    else
        CopyText(out, kMaxPath, *name ? name : dir);
}

bool DirPrefix(const char* arg, char out[kMaxPath]) {
    size_t len = std::strlen(arg);
    while (len > 1 && IsSep(arg[len - 1])) --len;
    if (len == 1 && IsSep(arg[0])) len = 0;  // the root: its prefix is the separator alone
    if (len + 2 > static_cast<size_t>(kMaxPath)) {
        Trouble(arg, "path too long");
        return false;
    }
    std::memcpy(out, arg, len);
    out[len] = kPathSep;
    out[len + 1] = '\0';
    return true;
}

int Trouble(const char* path, const char* what) {
    std::fflush(stdout);
    std::fprintf(stderr, "crevik: %s: %s\n", ShownName(path).c_str(), what);
    return kExitTrouble;
}

int NoDirectory(const char* arg) { return Trouble(arg, errno == ENOENT ? "no such directory" : std::strerror(errno)); }

bool CannotRead(const char* dir, const char* name) {
    if (PlatFileReadable(name)) return false;
    // Missing, or no file at all (a directory by that name): a verdict still.
    if (errno == ENOENT || errno == EISDIR || errno == EINVAL) return false;
    std::string path = std::string(dir) + name;
    Trouble(path.c_str(), std::strerror(errno));
    return true;
}

void ProgressBegin(Progress* progress, int32_t total) {
    *progress = Progress{};
    progress->active = PlatStderrIsTerminal();
    progress->total = total;
    progress->startMs = PlatClockMs();
    if (progress->active) DrawProgressLine(progress);
}

void ProgressStep(Progress* progress, uint64_t bytes) {
    ++progress->done;
    progress->bytes += bytes;
    if (progress->active) DrawProgressLine(progress);
}

void ProgressEnd(Progress* progress) {
    ClearProgressLine(progress);
    progress->active = false;
}

bool TakeJobsOption(int* argc, const char* const** argv, std::vector<const char*>* kept, int* jobs,
                    const char* usage) {
    *jobs = DefaultJobs();
    kept->clear();
    int i = 0;
    for (; i < *argc && (*argv)[i][0] == '-'; ++i) {
        const char* word = (*argv)[i];
        const char* count = nullptr;
        if (std::strcmp(word, "--jobs") == 0) count = i + 1 < *argc ? (*argv)[++i] : "";
        else if (std::strncmp(word, "--jobs=", 7) == 0) count = word + 7;
        if (!count) {
            kept->push_back(word);
            continue;
        }
        int value = 0;
        for (const char* p = count; *p >= '0' && *p <= '9'; ++p) value = std::min(kJobsMax, value * 10 + (*p - '0'));
        if (value == 0 || count[std::strspn(count, "0123456789")] != '\0') {
            std::fprintf(stderr, "usage: %s\n", usage);
            return false;
        }
        *jobs = value;
    }
    for (; i < *argc; ++i) kept->push_back((*argv)[i]);
    *argc = static_cast<int>(kept->size());
    *argv = kept->data();
    return true;
}

bool TakeCommandWords(int* argc, const char* const** argv, const char* option, bool* given, const char* usage) {
    *given = option && *argc > 0 && std::strcmp((*argv)[0], option) == 0;
    if (*given) {
        --*argc;
        ++*argv;
    }
    if (*argc < 1 || (*argv)[0][0] == '-') {
        std::fprintf(stderr, "usage: %s\n", usage);
        return false;
    }
    return true;
}
