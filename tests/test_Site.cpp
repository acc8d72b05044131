// The site's own units: where videos land, what a search finds, how a plan
// follows the archive, what the plan and result readers refuse, and what the
// gallery writes of hostile names.
#include "ScratchFolder.h"
#include "site/SiteFolders.h"
#include "site/SiteGallery.h"
#include "site/SitePlan.h"
#include "site/SiteSources.h"
#include "site/SiteState.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vidlume;
using namespace vidlume::site;

namespace {

FoundSource found(const std::string& relative, std::uint64_t size = 10, std::int64_t time = 1)
{
    return {"/archive/" + relative, relative, size, time, {}};
}

SitePlan planFor(const std::vector<FoundSource>& sources, const std::optional<SitePlan>& earlier = std::nullopt,
                 bool prune = false, int* hashed = nullptr)
{
    SourceSearch search;
    search.sources = sources;
    std::vector<std::string> problems;
    const Hasher hasher = [hashed](const std::string& path, int&) {
        if (hashed)
            ++*hashed;
        return "h:" + path;
    };
    PageInputs options;
    options.html5 = true;
    return updatePlan(earlier, search, options, "", "1.0 conv", prune, hasher, problems);
}

} // namespace

TEST(SiteFolders, MirrorTheArchiveAndKeepClashesApart)
{
    EXPECT_EQ(naturalFolderFor("2008/trips/beach.flv"), "2008/trips/beach");
    EXPECT_EQ(naturalFolderFor("a/.flv"), "a/video");
    // What Windows would change is changed on every system alike.
    EXPECT_EQ(naturalFolderFor("talks./trail .flv"), "talks/trail");
    EXPECT_EQ(naturalFolderFor("con/aux.flv"), "con_/aux_");
    EXPECT_EQ(sectionOf("2008/trips/beach"), "2008/trips");
    EXPECT_EQ(sectionOf("beach"), "");

    FolderAssigner folders;
    EXPECT_EQ(folders.assign("a.FLV"), "a");
    EXPECT_EQ(folders.assign("a.flv"), "a-2");
    EXPECT_EQ(folders.assign("A.flv"), "A-3"); // no two that differ only in case
    // Names the site keeps for itself at its top.
    EXPECT_EQ(folders.assign("index.htm.flv"), "index.htm-2");
    EXPECT_EQ(folders.assign("vidlume-site.flv"), "vidlume-site-2");
    EXPECT_EQ(folders.assign("deep/index.htm.flv"), "deep/index.htm");

    // A video's folder never holds another's, whichever comes first.
    FolderAssigner nested;
    EXPECT_TRUE(nested.keep("2008"));
    EXPECT_EQ(nested.assign("2008/beach.flv"), "2008-2/beach");
    EXPECT_FALSE(nested.keep("2008/x"));
    EXPECT_EQ(nested.assign("2008-2.flv"), "2008-2-2");
}

TEST(SiteFolders, RefuseFoldersOutsideTheSite)
{
    for (const char* bad : {"", "/etc", "../x", "a/../../x", "a//b", "./a", "a/.", "vidlume-site", "index.htm",
                            "index-7.htm/x", "Vidlume-Site.json", "a\nb"})
        EXPECT_FALSE(isSafeFolder(bad)) << bad;
    for (const char* good : {"a", "2008/trips/beach", "a/vidlume-site", "caf\xE9", "Talk #1 ?"})
        EXPECT_TRUE(isSafeFolder(good)) << good;
}

TEST(SitePlan, IndicesAndFoldersStayWithTheirSources)
{
    int hashed = 0;
    const SitePlan first = planFor({found("b.flv"), found("a.flv"), found("x/c.flv")}, std::nullopt, false, &hashed);
    EXPECT_EQ(hashed, 3);
    ASSERT_EQ(first.entries.size(), 3u);
    EXPECT_EQ(first.entries[0].relative, "a.flv");
    EXPECT_EQ(first.entries[2].index, 2);

    // a.flv is gone, d.flv is new, c.flv changed its size: only d and c are hashed.
    hashed = 0;
    const SitePlan second = planFor({found("b.flv"), found("x/c.flv", 99), found("d.flv")}, first, false, &hashed);
    EXPECT_EQ(hashed, 2);
    ASSERT_EQ(second.entries.size(), 4u);
    EXPECT_TRUE(second.find(0)->gone);
    EXPECT_EQ(second.find(1)->folder, "b");
    EXPECT_EQ(second.find(2)->size, 99u);
    EXPECT_EQ(second.find(3)->folder, "d");
    EXPECT_EQ(second.nextIndex, 4);
    EXPECT_EQ(conversionKey(first, *first.find(1)), conversionKey(second, *second.find(1)));

    // A prune drops the gone one; its index is never given again.
    const SitePlan pruned = planFor({found("b.flv"), found("x/c.flv", 99), found("d.flv")}, second, true);
    EXPECT_EQ(pruned.find(0), nullptr);
    const SitePlan third = planFor({found("b.flv"), found("x/c.flv", 99), found("d.flv"), found("a.flv")}, pruned);
    EXPECT_EQ(third.find(4)->relative, "a.flv");

    // A page option changes the page's key alone.
    SitePlan larger = third;
    larger.options.videoSize = "640x480";
    EXPECT_EQ(conversionKey(third, *third.find(1)), conversionKey(larger, *larger.find(1)));
    EXPECT_NE(pageKey(third, *third.find(1)), pageKey(larger, *larger.find(1)));
    larger.options.html5 = false;
    EXPECT_NE(conversionKey(third, *third.find(1)), conversionKey(larger, *larger.find(1)));
}

TEST(SiteState, PlanAndResultComeBackAsWritten)
{
    SitePlan plan = planFor({found("caf\xE9/b.flv"), found("a.flv")});
    plan.options.logoLink = "http://x/?a=1&b=\"2\"";
    plan.options.logoPosition = LogoPosition::BottomRight;
    std::string whyNot;
    const auto read = parsePlan(planText(plan), whyNot);
    ASSERT_TRUE(read) << whyNot;
    EXPECT_EQ(planText(*read), planText(plan));
    EXPECT_EQ(read->find(1)->source, "/archive/caf\xE9/b.flv"); // not UTF-8, byte for byte

    JobResult result;
    result.index = 4;
    result.done = true;
    result.folder = "x/y";
    result.title = "<b>";
    result.picture = "4.jpg";
    result.warnings = {"one", "caf\xE9"};
    const auto back = parseResult(resultText(result), whyNot);
    ASSERT_TRUE(back) << whyNot;
    EXPECT_EQ(resultText(*back), resultText(result));
}

TEST(SiteState, DamagedOrHostileFilesAreRefused)
{
    const std::string good = planText(planFor({found("a.flv"), found("b.flv")}));
    const auto refused = [](const std::string& text, bool plan = true) {
        std::string whyNot;
        const bool ok = plan ? parsePlan(text, whyNot).has_value() : parseResult(text, whyNot).has_value();
        EXPECT_TRUE(ok || !whyNot.empty());
        return !ok;
    };
    EXPECT_FALSE(refused(good));
    EXPECT_TRUE(refused(""));
    EXPECT_TRUE(refused(good.substr(0, good.size() / 2)));
    EXPECT_TRUE(refused(std::string(100000, '[') + std::string(100000, ']')));
    const auto replaced = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    EXPECT_TRUE(refused(replaced("\"folder\": \"a\"", "\"folder\": \"../../etc\"")));
    EXPECT_TRUE(refused(replaced("\"folder\": \"a\"", "\"folder\": \"/etc\"")));
    EXPECT_TRUE(refused(replaced("\"folder\": \"a\"", "\"folder\": \"vidlume-site\"")));
    EXPECT_TRUE(refused(replaced("\"folder\": \"a\"", "\"folder\": \"b\""))); // another video's
    EXPECT_TRUE(refused(replaced("\"folder\": \"a\"", "\"folder\": {\"hex\": \"2e2e\"}")));
    EXPECT_TRUE(refused(replaced("\"index\": 1", "\"index\": 0")));
    EXPECT_TRUE(refused(replaced("\"index\": 1", "\"index\": 7")));
    EXPECT_TRUE(refused(replaced("\"size\": 10", "\"size\": -1")));
    EXPECT_TRUE(refused(replaced("\"version\": 1", "\"version\": 2")));
    EXPECT_TRUE(refused(replaced("\"logo_alpha\": 0", "\"logo_alpha\": 1000")));

    JobResult result;
    result.done = true;
    result.folder = "a";
    result.picture = "0.jpg";
    const std::string text = resultText(result);
    EXPECT_FALSE(refused(text, false));
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"\"0.jpg\"", "\"../../x.jpg\""}, {"\"folder\": \"a\"", "\"folder\": \"..\""},
             {"\"done\"", "\"maybe\""}, {"\"width\": 0", "\"width\": \"wide\""}}) {
        std::string bad = text;
        bad.replace(bad.find(from), from.size(), to);
        EXPECT_TRUE(refused(bad, false)) << to;
    }
}

TEST(SiteSources, SearchFollowsEachFolderOnceAndNamesWhatItSkips)
{
    test::ScratchFolder scratch;
    test::writeFile(scratch.path("arch/2008/trips/beach.flv"), "x");
    test::writeFile(scratch.path("arch/2008/trips/LOUD.FLV"), "x");
    test::writeFile(scratch.path("arch/2008/trips/notes.txt"), "x");
    test::writeFile(scratch.path("arch/2008/trips/beach.en.srt"), "1");
    test::writeFile(scratch.path("arch/other/x.flv"), "x");
    std::filesystem::create_directory_symlink("..", scratch.path("arch/2008/up"));
    std::filesystem::create_directory_symlink("../other", scratch.path("arch/2008/again"));
    std::filesystem::create_symlink("nowhere.flv", scratch.path("arch/dangling.flv"));

    const SourceSearch search = findSources({scratch.path("arch"), scratch.path("arch/other/x.flv")});
    std::vector<std::string> relatives;
    for (const FoundSource& source : search.sources)
        relatives.push_back(source.relative);
    // other/x.flv is found once, through the link or the folder, whichever comes first.
    EXPECT_EQ(relatives, (std::vector<std::string>{"2008/again/x.flv", "2008/trips/LOUD.FLV", "2008/trips/beach.flv"}));
    EXPECT_NE(search.sources[2].captions.find("beach.en.srt"), std::string::npos);
    EXPECT_EQ(search.sources[1].captions, "");
    ASSERT_EQ(search.problems.size(), 1u);
    EXPECT_NE(search.problems[0].find("dangling.flv"), std::string::npos);
    ASSERT_EQ(search.notes.size(), 2u);
    EXPECT_NE(search.notes[0].find("up\" leads back"), std::string::npos);
    EXPECT_NE(search.notes[1].find("searched already"), std::string::npos);
}

TEST(SiteGallery, NamesFromTheArchiveAreTextAndLinksAreEncoded)
{
    EXPECT_EQ(escapeText("<img src=x onerror=alert(1)>&\"'"), "&lt;img src=x onerror=alert(1)&gt;&amp;&quot;&#39;");
    EXPECT_EQ(escapeText("caf\xE9 \xC3\xA9"), "caf\xEF\xBF\xBD \xC3\xA9");
    EXPECT_EQ(encodeSegment("Talk #1 50%?.flv"), "Talk%20%231%2050%25%3F.flv");
    EXPECT_EQ(utcDate(0), "1970-01-01");
    EXPECT_EQ(utcDate(1199232000ll * 1000000000), "2008-01-02");
    EXPECT_EQ(utcDate(-1), "1969-12-31");

    SitePlan plan = planFor({found("a<b>/Talk #1.flv"), found("x.flv")});
    std::map<int, JobResult> results;
    for (const PlanEntry& entry : plan.entries) {
        JobResult result;
        result.index = entry.index;
        result.done = true;
        result.folder = entry.folder;
        result.title = entry.index == 0 ? "<img src=x onerror=alert(1)>" : "";
        results[entry.index] = result;
    }
    const auto pages = galleryPages(plan, results);
    ASSERT_EQ(pages.size(), 1u);
    const std::string& html = pages[0].second;
    EXPECT_EQ(html.find("<img src=x"), std::string::npos);
    EXPECT_NE(html.find("&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
    EXPECT_NE(html.find("href=\"a%3Cb%3E/Talk%20%231/index.htm\""), std::string::npos);
    EXPECT_NE(html.find("<h2>a&lt;b&gt;</h2>"), std::string::npos);
    EXPECT_NE(html.find(">x</span>"), std::string::npos); // the file name without its ending

    // Past a page's worth, numbered pages linked from each other.
    std::vector<FoundSource> many;
    for (int i = 0; i < 650; ++i)
        many.push_back(found("v" + std::to_string(1000 + i) + ".flv"));
    plan = planFor(many);
    results.clear();
    for (const PlanEntry& entry : plan.entries)
    {
        JobResult result;
        result.index = entry.index;
        result.done = true;
        result.folder = entry.folder;
        results[entry.index] = result;
    }
    const auto split = galleryPages(plan, results);
    ASSERT_EQ(split.size(), 3u);
    EXPECT_EQ(split[2].first, "index-3.htm");
    EXPECT_NE(split[0].second.find("href=\"index-3.htm\""), std::string::npos);
    EXPECT_NE(split[2].second.find("href=\"index.htm\""), std::string::npos);
}
