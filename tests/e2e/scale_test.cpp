// Releases of thousands of files, whose searches go by key and whose checks
// run on several threads, end byte for byte as the plain one-by-one program
// left them: the digests below were taken from that program.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "harness.h"
#include "log/upload_log.h"

namespace {

using namespace e2e;

// FNV-1a of a text, in hex: one line of a table instead of a whole tree.
std::string Digest(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

// The text without the value of each `label` up to `end`: a time, the site's own path.
std::string Masked(std::string text, const std::string& label, char end) {
    for (size_t at = 0; (at = text.find(label, at)) != std::string::npos; at += label.size())
        text.erase(at + label.size(), text.find(end, at + label.size()) - at - label.size());
    return text;
}

// Log, release and area listings, race report and feed: what a fault would change.
std::string Digests(const Site& site, const Release& rel) {
    return Digest(rel.Log()) + " " + Digest(Tree(rel.path())) + " " + Digest(Tree(site.up())) + " " +
           Digest(Masked(FileText(rel.path("race.txt")), "| Race end", '|')) + " " +
           Digest(Masked(Masked(FileText(site.bin("race.feed")), "\"time\":\"", '"'), "\"dir\":\"", '"'));
}

struct Life {
    std::mt19937 rng{22};
    Words files;
    size_t Pick(size_t n) { return rng() % n; }
    std::string User() { return "u" + std::to_string(Pick(17)); }
    // Most users race for one group, u3 and u5 for two.
    std::string GroupOf(const std::string& user) {
        return (user == "u3" || user == "u5") && Pick(2) ? "g9" : "g" + std::to_string(user.size() % 5 + user.back() % 3);
    }
    // Records of `share` percent of the files in shuffled order, a few twice; their files on disk, some damaged.
    std::string LogAndFiles(const Release& rel, int share, char status, int damagedOneIn) {
        Words order = files;
        for (size_t i = order.size() - 1; i > 0; --i) std::swap(order[i], order[Pick(i + 1)]);
        std::string log;
        for (size_t i = 0; i < order.size() * share / 100; ++i) {
            std::string user = User();
            for (int twice = Pick(60) == 0 ? 2 : 1; twice > 0; --twice, user = User())
                log += std::to_string(FileKey(order[i].c_str())) + "|" + user + "|" + GroupOf(user) + "|" +
                       std::to_string(1 + Pick(9000)) + "|" + std::to_string(Pick(40) ? 1 + Pick(5000) : 0) +
                       "|" + status + "\n";
            rel.Put(order[i], Pick(damagedOneIn) == 0);
        }
        WriteFile(rel.path(".upChk.log"), log);
        return log;
    }
    // An upload, a deletion or a verdict on a random file, as a server reports it.
    void Events(const Release& rel, int count, const Words& kinds) {
        for (int i = 0; i < count; ++i) {
            const std::string& file = files[Pick(files.size())];
            const std::string& kind = kinds[Pick(kinds.size())];
            std::string user = User(), group = GroupOf(user), speed = std::to_string(1 + Pick(900));
            if (kind == "filedeleted" || kind == "delete") std::remove(rel.path(file).c_str());
            else rel.Put(file, kind == "sfvfailed" || Pick(20) == 0);
            if (kind == "upload") rel.Event(kind, file, {user, group, speed});
            else if (kind == "filedeleted" || kind == "delete") rel.Event(kind, file);
            else rel.Event(kind, file, {user, group, speed, "4", "2500", "0"});
        }
    }
};

// The .sfv arrives late (the CRC pass of "sfvuploaded"), verdicts and
// deletions follow, rescans settle it, then it completes with a race report.
TEST(Scale, LateSfvReleaseOfThousandsEndsAsBefore) {
    Site site;
    site.SetConfig("[GENERAL]\nMESSAGE=race.txt\n");
    Release rel(site, "Big.Set");
    Life life;
    for (int i = 0; i < 2500; ++i) life.files.push_back("Big.Set.Part" + std::to_string(i) + (i % 7 ? ".r" : ".R") + std::to_string(i % 100));
    life.LogAndFiles(rel, 90, 'N', 40);
    life.Events(rel, 12, {"fileuploaded", "filedeleted"});
    rel.WriteSfv("big.set.sfv", life.files);
    rel.Event("sfvuploaded", "big.set.sfv", {"2500", "0"});
    life.Events(rel, 12, {"sfvsuccess", "sfvfailed", "filedeleted"});
    std::string live = Digests(site, rel);
    EXPECT_LE(site.Capture({"rescan", rel.path()}).status, 1);
    // The last files come with their records: a rescan would record them with the speed their writing had.
    std::string log = rel.Log();
    for (const std::string& file : life.files)
        if (!Exists(rel.path(file))) {
            rel.Put(file);
            log += std::to_string(FileKey(file.c_str())) + "|u1|g1|4|100|N\n";
        }
    WriteFile(rel.path(".upChk.log"), log);
    EXPECT_EQ(site.Capture({"rescan", rel.path()}).status, 0);
    EXPECT_EQ(live + "\n" + Digests(site, rel),
              "61469c6cf76e0a1d dc49288b67e46c03 90c623a3724aefad 6bf2329923a4d83c 6bf2329923a4d83c\n"
              "77f6948a58322fac 205a7c0a5a788fd3 6e315abb6ab8bc5a 6516676bbf0a0cae 6bf2329923a4d83c");
}

// Behind a server that only says "stored": the .sfv comes last and every
// waiting file is checked, with BAD 2 deleting failed files and their records.
TEST(Scale, WaitingFilesCheckedWhenTheSfvIsStoredEndAsBefore) {
    Site site;
    site.SetConfig("[GENERAL]\nBAD=2\nFEED=race.feed\nMESSAGE=race.txt\n");
    Release rel(site, "Many.Parts");
    Life life;
    for (int i = 0; i < 900; ++i) life.files.push_back("many.parts." + std::to_string(i));
    std::string log = life.LogAndFiles(rel, 95, 'N', 6);
    // u3 under two groups last: the damaged one's removal comes after the other group's directory was due.
    for (const char* last : {"many.parts.900|g2", "many.parts.901|g9"}) {
        std::string name = std::string(last).substr(0, 14);
        life.files.push_back(name);
        log += std::to_string(FileKey(name.c_str())) + "|u3|" + (last + 15) + "|3000|300|N\n";
        rel.Put(name, name.back() == '1');
    }
    WriteFile(rel.path(".upChk.log"), log);
    life.Events(rel, 6, {"upload"});
    rel.WriteSfv("many.sfv", life.files);
    rel.Event("upload", "many.sfv", {"u1", "g1", "100"});
    life.Events(rel, 10, {"upload", "delete"});
    EXPECT_EQ(Digests(site, rel), "4773d7ffcffef1da cdb3b7e7620d19ce 8779d4475247327b 6bf2329923a4d83c 06ae1c585eb0a244");
}

// A log without its speeds, which a rescan measures from the times the files were written.
std::string WithoutSpeeds(const std::string& log) {
    std::string out;
    for (size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = log.substr(at, end - at);
        size_t status = line.rfind('|'), speed = line.rfind('|', status - 1);
        out += line.substr(0, speed) + line.substr(status) + "\n";
    }
    return out;
}

// Releases whose .sfv lists files twice, a file and its ".bad" or
// "-missing" name, damaged and absent files.
void MakeTree(const Site& site) {
    for (const char* dir : {"Tree/A", "Tree/B/CD1", "Tree/B/CD2"}) {
        Release rel(site, dir);
        Words listed;
        for (int i = 0; i < 160; ++i) listed.push_back("f" + std::to_string(i) + (i % 9 ? ".r" : ".R") + "01");
        listed.insert(listed.end(), {"f1.r01", "f2.r01.bad", "f3.r01-missing", "F4.R01"});
        rel.WriteSfv("a.sfv", listed);
        for (size_t i = 0; i < listed.size(); ++i)
            if (i % 23) rel.Put(listed[i], i % 17 == 0);
    }
}

TEST(Scale, ParallelCheckAndRescanSayWhatOneJobSays) {
    Site one, many;
    MakeTree(one);
    MakeTree(many);
    for (const Words& words : {Words{"check", "Tree/A", "Tree/B/CD1"}, Words{"rescan", "Tree/A"},
                               Words{"rescan", "-r", "Tree"}, Words{"check", "Tree/B/CD2/a.sfv"}}) {
        Words serial = {words[0], "--jobs", "1"}, parallel = {words[0], "--jobs=4"};
        for (size_t i = 1; i < words.size(); ++i) {
            serial.push_back(words[i][0] == '-' ? words[i] : one.up(words[i]));
            parallel.push_back(words[i][0] == '-' ? words[i] : many.up(words[i]));
        }
        Site::Output a = one.Capture(serial), b = many.Capture(parallel);
        EXPECT_EQ(a.status, 1) << words[1];
        EXPECT_EQ(a.status, b.status) << words[1];
        EXPECT_EQ(a.out, b.out) << words[1];
        EXPECT_EQ(a.err, b.err) << words[1];
        for (const char* dir : {"Tree/A", "Tree/B/CD1", "Tree/B/CD2", "Tree/B"})
            EXPECT_EQ(Tree(one.up(dir)) + WithoutSpeeds(FileText(one.up(dir) + "/.upChk.log")),
                      Tree(many.up(dir)) + WithoutSpeeds(FileText(many.up(dir) + "/.upChk.log")));
    }
}

}  // namespace
