#include "app/IniText.h"

#include <gtest/gtest.h>

using vidlume::iniValue;
using vidlume::setIniValue;

TEST(SetIniValue, createsSectionAndKeyInAnEmptyFile)
{
    EXPECT_EQ(setIniValue("", "settings", "OutPutDir", "/home/ann/vidlume"),
              "[settings]\nOutPutDir=/home/ann/vidlume\n");
}

TEST(SetIniValue, appendsAMissingSectionAndKeepsEverythingElse)
{
    const std::string before = "; written by hand\n[window]\nLeft=10\n\n[recent]\nFile1=/a.flv";
    EXPECT_EQ(setIniValue(before, "settings", "OutPutDir", "/x"), before + "\n[settings]\nOutPutDir=/x\n");
}

TEST(SetIniValue, replacesAnExistingValueMatchingNamesWithoutRegardToCase)
{
    const std::string before =
        "[Other]\noutputdir=keep\n[SETTINGS]\nTheme=dark\n  outputDIR = /old \nSize=3\n";
    EXPECT_EQ(setIniValue(before, "settings", "OutPutDir", "/new"),
              "[Other]\noutputdir=keep\n[SETTINGS]\nTheme=dark\noutputDIR=/new\nSize=3\n");
}

TEST(SetIniValue, addsAMissingKeyAfterTheSectionsLastLineBeforeTheNextSection)
{
    EXPECT_EQ(setIniValue("[settings]\nTheme=dark\n\n[other]\nA=1\n", "settings", "OutPutDir", "/x"),
              "[settings]\nTheme=dark\nOutPutDir=/x\n\n[other]\nA=1\n");
    EXPECT_EQ(setIniValue("[settings]\nTheme=dark", "settings", "OutPutDir", "/x"),
              "[settings]\nTheme=dark\nOutPutDir=/x\n");
}

TEST(SetIniValue, keepsTheFilesCrLfLineBreaks)
{
    EXPECT_EQ(setIniValue("[a]\r\nB=1\r\n", "settings", "OutPutDir", "C:\\Profile\\vidlume"),
              "[a]\r\nB=1\r\n[settings]\r\nOutPutDir=C:\\Profile\\vidlume\r\n");
}

TEST(SetIniValue, onlyTheFirstSectionOfANameIsWritten)
{
    EXPECT_EQ(setIniValue("[settings]\nA=1\n[settings]\nOutPutDir=/old\n", "settings", "OutPutDir", "/x"),
              "[settings]\nA=1\nOutPutDir=/x\n[settings]\nOutPutDir=/old\n");
}

TEST(SetIniValue, aByteOrderMarkStaysAndTheSectionAfterItIsFound)
{
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(setIniValue(bom + "[settings]\nOutPutDir=/old\n", "settings", "OutPutDir", "/x"),
              bom + "[settings]\nOutPutDir=/x\n");
    EXPECT_EQ(setIniValue(bom, "settings", "OutPutDir", "/x"), bom + "[settings]\nOutPutDir=/x\n");
}

TEST(SetIniValue, aCarriageReturnEndsNoNameAndTheSecondWriteReplacesTheFirst)
{
    // An unclosed header ending in a bare CR, in a file of LF line breaks.
    const std::string once = setIniValue("k=v\n[Settings\r", "settings", "OutPutDir", "/x");
    EXPECT_EQ(once, "k=v\n[Settings\r\nOutPutDir=/x\n");
    EXPECT_EQ(setIniValue(once, "settings", "OutPutDir", "/y"), "k=v\n[Settings\r\nOutPutDir=/y\n");
    EXPECT_EQ(setIniValue("[settings]\nOutPutDir\r=/old\r\n", "settings", "OutPutDir", "/x"),
              "[settings]\nOutPutDir=/x\r\n");
}

TEST(IniValue, ReadsTheFirstSectionsKeyAsTheProfileReadDoes)
{
    const std::string text = "\xEF\xBB\xBF[Other]\nSite1=elsewhere\r\n[upload sites]\n; note\n  SITE1 = \"sftp://a/\" \n"
                             "Site2=\nSite3=x=y\n[Upload Sites]\nSite4=second section\n";
    EXPECT_EQ(iniValue(text, "Upload Sites", "Site1"), "sftp://a/");
    EXPECT_EQ(iniValue(text, "Upload Sites", "Site2"), "");
    EXPECT_EQ(iniValue(text, "Upload Sites", "Site3"), "x=y");
    EXPECT_EQ(iniValue(text, "Upload Sites", "Site4"), std::nullopt);
    EXPECT_EQ(iniValue(text, "Other", "Site1"), "elsewhere");
    EXPECT_EQ(iniValue(text, "Missing", "Site1"), std::nullopt);
    EXPECT_EQ(iniValue("", "Upload Sites", "Site1"), std::nullopt);
    EXPECT_EQ(iniValue(setIniValue(text, "Upload Sites", "Site2", "written"), "upload sites", "site2"), "written");
}
