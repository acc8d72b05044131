// WebDAV servers' PROPFIND answers, and the ones a hostile server could send.
#include "upload/DavListing.h"

#include <gtest/gtest.h>

using namespace vidlume::upload;

namespace {

std::string response(const std::string& href, const std::string& props, const std::string& status = "200 OK")
{
    return "<D:response><D:href>" + href + "</D:href><D:propstat><D:prop>" + props +
           "</D:prop><D:status>HTTP/1.1 " + status + "</D:status></D:propstat></D:response>";
}

std::string multistatus(const std::string& responses)
{
    return "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\">" + responses + "</D:multistatus>";
}

TEST(DavListing, ReadsEntriesDirectlyInsideTheFolderWithTheirSizes)
{
    const auto entries = parseDavListing(
        multistatus(response("/www/my%20site/", "<D:resourcetype><D:collection/></D:resourcetype>") +
                    response("https://example.org/www/my%20site/clips/",
                             "<D:resourcetype><D:collection/></D:resourcetype>") +
                    response("/www/my%20site/video.flv",
                             "<D:resourcetype/><D:getcontentlength>3145728</D:getcontentlength>") +
                    response("/www/my%20site/.vidlume-upload", "<D:getcontentlength> 266 </D:getcontentlength>") +
                    response("/www/my%20site/no-size.htm", "<D:resourcetype/>") +
                    response("/www/my%20site/hidden.flv", "<D:getcontentlength>1</D:getcontentlength>",
                             "403 Forbidden") +
                    response("/www/other/x.flv", "<D:getcontentlength>1</D:getcontentlength>") +
                    response("/www/my%20site/a/b.flv", "<D:getcontentlength>1</D:getcontentlength>") +
                    response("/www/my%20site/%2e%2e", "<D:getcontentlength>1</D:getcontentlength>")),
        "/www/my site");
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 5u);
    EXPECT_EQ((*entries)[0].name, "clips");
    EXPECT_TRUE((*entries)[0].isFolder);
    EXPECT_EQ((*entries)[1].name, "video.flv");
    EXPECT_TRUE((*entries)[1].isFile);
    EXPECT_EQ((*entries)[1].size, 3145728u);
    EXPECT_EQ((*entries)[2].size, 266u);
    // Without a size, or without a 200 for its properties, a file is never taken as unchanged.
    EXPECT_FALSE((*entries)[3].isFile);
    EXPECT_FALSE((*entries)[4].isFile);
}

TEST(DavListing, DocumentTypesEntitiesAndBrokenXmlAreRefused)
{
    EXPECT_FALSE(parseDavListing("<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" +
                                     multistatus(response("/www/&x;", "")).substr(21),
                                 "/www"));
    EXPECT_FALSE(parseDavListing(multistatus(response("/www/a", "")).substr(0, 90), "/www"));
    EXPECT_FALSE(parseDavListing(multistatus(response("/www/a%00b", "")) + "<extra/>", "/www"));
    EXPECT_FALSE(parseDavListing(multistatus(std::string(100, '<')), "/www"));
    // A name with an escaped NUL is dropped, the answer still read.
    const auto entries = parseDavListing(multistatus(response("/www/a%00b", "")), "/www");
    ASSERT_TRUE(entries);
    EXPECT_TRUE(entries->empty());
}

} // namespace
