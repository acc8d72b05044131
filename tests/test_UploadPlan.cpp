// What an upload decides before it talks to a server: the manifest, the plan, the URL.
#include "upload/Manifest.h"
#include "upload/OwnFiles.h"
#include "upload/UploadPlan.h"
#include "upload/UploadUrl.h"

#include <gtest/gtest.h>

using namespace vidlume::upload;

namespace {

const std::string digestA(64, 'a');
const std::string digestB(64, 'b');

TEST(UploadManifest, ReadsWhatItWritesWhateverTheNames)
{
    const Manifest manifest{{"index.htm", {18, digestA}},
                            {"clips/odd %0A name\nwith break\r.flv", {0, digestB}},
                            {"v\xc3\xa9o.mp4", {9007199254740992ull, digestA}}};
    EXPECT_EQ(readManifest(writeManifest(manifest)), manifest);
    EXPECT_EQ(readManifest(writeManifest({})), Manifest{});
}

TEST(UploadManifest, AnythingUnexpectedMeansNoManifest)
{
    const std::string head = "vidlume-upload-manifest 1\n";
    const std::string good = digestA + " 5 a.flv\n";
    ASSERT_TRUE(readManifest(head + good));
    for (const std::string& text : {
             std::string(),
             "vidlume-upload-manifest 2\n" + good,
             head + good.substr(0, good.size() - 1),               // cut short
             head + good + good,                                   // the same path twice
             head + std::string(64, 'A') + " 5 a.flv\n",           // digest in capitals
             head + digestA + " 05 a.flv\n", head + digestA + " -5 a.flv\n",
             head + digestA + " 9007199254740993 a.flv\n",         // past 2^53
             head + digestA + " 5 /etc/passwd\n", head + digestA + " 5 ../up.flv\n",
             head + digestA + " 5 a//b\n", head + digestA + " 5 a/./b\n", head + digestA + " 5 \n",
             head + digestA + " 5 a%2Fb\n", head + digestA + " 5 a" + std::string(1, '\0') + "b\n",
         })
        EXPECT_FALSE(readManifest(text)) << text;
    EXPECT_FALSE(readManifest(head + std::string(manifestMaxBytes, 'x')));
}

struct PlanCase : ::testing::Test
{
    LocalFolder local;
    RemoteListing listing;

    void addLocal(const std::string& path, std::uint64_t size, const std::string& digest)
    {
        local.files.push_back({path, "/nowhere/" + path, size, digest});
    }
    void addRemote(const std::string& path, std::uint64_t size, bool folder = false)
    {
        listing.entries[path] = RemoteEntry{path.substr(path.rfind('/') + 1), folder, !folder, size};
    }
    std::vector<std::string> sentPaths(const UploadPlan& plan) const
    {
        std::vector<std::string> paths;
        for (const FileToSend& send : plan.toSend)
            paths.push_back(local.files[send.file].path);
        return paths;
    }
};

TEST_F(PlanCase, SkipsOnlyWhatManifestAndServerBothConfirm)
{
    listing.folders = {""};
    addLocal("same.flv", 10, digestA);
    addLocal("changed.flv", 10, digestB);    // same size, other digest
    addLocal("truncated.flv", 10, digestA);  // the server holds fewer bytes
    addLocal("new.flv", 10, digestA);
    for (const char* name : {"same.flv", "changed.flv"})
        addRemote(name, 10);
    addRemote("truncated.flv", 4);
    const Manifest previous{{"same.flv", {10, digestA}}, {"changed.flv", {10, digestA}}, {"truncated.flv", {10, digestA}}};

    const UploadPlan plan = planUpload(local, previous, listing, false);
    EXPECT_EQ(plan.unchanged, std::vector<std::size_t>{0});
    EXPECT_EQ(sentPaths(plan), (std::vector<std::string>{"changed.flv", "truncated.flv", "new.flv"}));
    EXPECT_TRUE(plan.toSend[0].replaces);
    EXPECT_FALSE(plan.toSend[2].replaces);

    // Without a manifest everything goes.
    EXPECT_EQ(planUpload(local, std::nullopt, listing, false).toSend.size(), 4u);
}

TEST_F(PlanCase, PagesGoLastAndTheTopPageLastOfAll)
{
    listing.folders = {""};
    for (const char* path : {"a/index.htm", "index.htm", "a/v.flv", "gallery.html", "a/b/index.htm", "z.mp4"})
        addLocal(path, 1, digestA);
    local.folders = {"a", "a/b"};
    const UploadPlan plan = planUpload(local, std::nullopt, listing, false);
    EXPECT_EQ(sentPaths(plan), (std::vector<std::string>{"a/v.flv", "z.mp4", "a/b/index.htm", "a/index.htm",
                                                         "gallery.html", "index.htm"}));
    EXPECT_EQ(plan.foldersToMake, (std::vector<std::string>{"a", "a/b"}));
}

TEST_F(PlanCase, ResumesOnlyATemporaryFileOfTheSameContent)
{
    listing.folders = {""};
    addLocal("v.flv", 5 * resumeGranule, digestA);
    addRemote(temporaryName("v.flv", digestA), 3 * resumeGranule + 77);
    addRemote(temporaryName("v.flv", digestB), 2 * resumeGranule); // older content
    const UploadPlan plan = planUpload(local, std::nullopt, listing, false);
    ASSERT_EQ(plan.toSend.size(), 1u);
    EXPECT_EQ(plan.toSend[0].resumeFrom, 3 * resumeGranule);
    EXPECT_EQ(plan.staleTemporaries, std::vector<std::string>{temporaryName("v.flv", digestB)});
    // FTP appends at the end of what the server has; a WebDAV PUT starts again.
    EXPECT_EQ(planUpload(local, std::nullopt, listing, false, ResumeRule::AtPartialSize).toSend[0].resumeFrom,
              3 * resumeGranule + 77);
    EXPECT_EQ(planUpload(local, std::nullopt, listing, false, ResumeRule::StartAgain).toSend[0].resumeFrom, 0u);

    // A temporary file longer than the file is not continued.
    listing.entries.clear();
    addRemote(temporaryName("v.flv", digestA), 6 * resumeGranule);
    EXPECT_EQ(planUpload(local, std::nullopt, listing, false).toSend[0].resumeFrom, 0u);
}

TEST_F(PlanCase, DeletesOnlyWhatThePreviousUploadSent)
{
    listing.folders = {""};
    addLocal("kept.flv", 1, digestA);
    addRemote("kept.flv", 1);
    addRemote("gone.flv", 1);       // ours before, no longer in FOLDER
    addRemote("users-own.txt", 1);  // never sent by us
    const Manifest previous{{"kept.flv", {1, digestA}}, {"gone.flv", {1, digestA}}};
    EXPECT_EQ(planUpload(local, previous, listing, true).toDelete, std::vector<std::string>{"gone.flv"});
    EXPECT_TRUE(planUpload(local, previous, listing, false).toDelete.empty());
    EXPECT_TRUE(planUpload(local, std::nullopt, listing, true).toDelete.empty());
}

TEST_F(PlanCase, AFolderWhereAFileGoesIsNamed)
{
    listing.folders = {""};
    addLocal("clip", 1, digestA);
    addRemote("clip", 0, true);
    EXPECT_EQ(planUpload(local, std::nullopt, listing, false).blocked, std::vector<std::string>{"clip"});
}

TEST(UploadUrl, ReadsTheThreeProtocols)
{
    std::string error;
    auto url = parseUploadUrl("sftp://me@example.org:2222/srv/www/", error);
    ASSERT_TRUE(url) << error;
    EXPECT_EQ(url->protocol, Protocol::Sftp);
    EXPECT_EQ(url->user, "me");
    EXPECT_EQ(url->host, "example.org");
    EXPECT_EQ(url->port, 2222);
    EXPECT_EQ(url->path, "/srv/www");
    EXPECT_EQ(parseUploadUrl("sftp://h/~/public_html", error)->path, "public_html");
    EXPECT_EQ(parseUploadUrl("sftp://h/~", error)->path, "");
    EXPECT_EQ(parseUploadUrl("sftp://h/~//www", error)->path, "www");
    EXPECT_EQ(parseUploadUrl("sftp://h/~backup/www", error)->path, "/~backup/www");
    EXPECT_EQ(parseUploadUrl("sftp://[::1]/a%20b", error)->host, "::1");
    EXPECT_EQ(parseUploadUrl("sftp://[::1]/a%20b", error)->path, "/a b");
    EXPECT_EQ(parseUploadUrl("ftps://h/x", error)->port, 21);
    EXPECT_EQ(parseUploadUrl("davs://h/x", error)->protocol, Protocol::WebDav);
    EXPECT_FALSE(parseUploadUrl("http://h/x", error)->tls);

    for (const char* bad : {"ftp://h/x", "sftp:///x", "sftp://h:0/x", "sftp://h:99999/x", "sftp://u:pw@h/x",
                            "sftp://h/a%00b", "sftp://h/a%4", "https://h/x?y", "sftp://h/a\nb", "sftp://h/a\tb",
                            "sftp:// /x", "sftp://a b/x"})
        EXPECT_FALSE(parseUploadUrl(bad, error)) << bad;
    EXPECT_FALSE(parseUploadUrl(std::string("sftp://h/a\0b", 12), error));
}

TEST(UploadOwnFiles, OurStateIsNeverSent)
{
    EXPECT_TRUE(isOwnStateName(manifestName));
    EXPECT_TRUE(isOwnStateName(temporaryName("index.htm", digestA)));
    EXPECT_TRUE(isTemporaryName(temporaryName("index.htm", digestA)));
    EXPECT_NE(temporaryName("a.flv", digestA), temporaryName("b.flv", digestA));
    EXPECT_TRUE(isOwnStateName("vidlume-site.json"));
    EXPECT_FALSE(isOwnStateName("vidlume.flv"));
    EXPECT_FALSE(isOwnStateName(".htaccess"));
}

} // namespace
