// The operator commands on the built program: check, cleanup and rescan.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "harness.h"

namespace {

using e2e::Exists;
using e2e::Release;
using e2e::Site;
using e2e::Words;
namespace fs = std::filesystem;

// Every entry below a directory with its contents: any change shows.
std::string Snapshot(const std::string& dir) {
    std::string all;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        all += e.path().string() + (e.is_directory() ? "/\n" : "\n" + e2e::FileText(e.path().string()) + "\n");
    return all;
}

TEST(OperatorCommands, CheckReadsSfvsOfOtherToolsAndChangesNothing) {
    Site site;
    Release rel(site, "Some.Release");
    rel.WriteSfv("some.sfv", {"some.r00", "some r01", "some.r02", "some.r03"});  // CR LF, upper-case CRCs
    std::string sfv = e2e::FileText(rel.path("some.sfv"));
    size_t last = sfv.rfind(' ') + 1;
    for (size_t i = last; i < sfv.size(); ++i) sfv[i] = static_cast<char>(std::tolower(sfv[i]));
    e2e::WriteFile(rel.path("some.sfv"), sfv);
    rel.Put("some.r00");
    rel.Put("some r01", /*corrupt=*/true);
    rel.Put("some.r03");
    e2e::MakeDirs(site.up("Empty"));
    std::string before = Snapshot(site.up());

    Site::Output out = site.Capture({"check", rel.path(), site.up("Nowhere"), site.up("Empty")});
    EXPECT_EQ(out.out, "OK       some.r00\nBAD      some r01\nMISSING  some.r02\nOK       some.r03\n"
                       "Some.Release: 4 files, 2 ok, 1 bad, 1 missing\n");
    EXPECT_EQ(out.err, "crevik: " + site.up("Nowhere") + ": no such file or directory\ncrevik: " + site.up("Empty") +
                           ": no .sfv\n");
    EXPECT_EQ(out.status, 2);
    EXPECT_EQ(Snapshot(site.up()), before);

    rel.Put("some r01");
    EXPECT_EQ(site.Capture({"Check", rel.path("some.sfv")}).status, 1);
    rel.Put("some.r02");
    out = site.Capture({"check", rel.path("some.sfv")});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out.substr(out.out.rfind("Some")), "Some.Release: 4 files, 4 ok, 0 bad, 0 missing\n");
    EXPECT_EQ(site.Capture({"check"}).status, 2);

#ifndef _WIN32
    // cksfv's own .sfv: comment lines with sizes and dates, LF line ends.
    Release cd(site, "Other.Release/CD1");
    for (const char* name : {"x.r00", "x r01"}) cd.Put(name);
    ASSERT_EQ(std::system(("cd '" + cd.path() + "' && cksfv x.r00 'x r01' >cksfv.sfv").c_str()), 0);
    out = site.Capture({"check", cd.path()});
    EXPECT_EQ(out.out, "OK       x.r00\nOK       x r01\nOther.Release/CD1: 2 files, 2 ok, 0 bad, 0 missing\n");
    EXPECT_EQ(out.status, 0);
#endif
}

}  // namespace
