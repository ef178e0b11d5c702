// Language texts: parsing into one-line entries and memos, the exact parse errors with their line numbers,
// and the line list that parses again as it changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/support/TrwkLanguage.h"
#include "installer/support/TrwkTranslator.h"

namespace {

std::string ParseError(TLanguage& language, const std::string& text)
{
    try {
        language.Strings()->SetText(text);
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return "<parsed>";
}

std::vector<std::string> LinesOf(const TLanguageMemo& memo)
{
    std::vector<std::string> lines;
    for (int i = 0; i < memo.Lines().Count(); ++i)
        lines.push_back(memo.Lines()[i]);
    return lines;
}

class LanguageTextTest : public ::testing::Test {
protected:
    TTranslator translator{nullptr};
    TLanguage& german = *translator.lgGerman();
};

}  // namespace

TEST_F(LanguageTextTest, WorkedExampleGivesOneTextAndOneMemo)
{
    german.Strings()->SetText("5;Next >\r\n* a comment\r\n#88;\r\nThe first line\r\n  The second line  \r\n#\r\n");

    ASSERT_EQ(german.StringEntries().size(), 1u);
    const TLanguageString& next = *german.StringEntries()[0];
    EXPECT_EQ(next.GLID(), 5);
    EXPECT_EQ(next.Text(), "Next >");
    EXPECT_EQ(next.Line(), 0);
    EXPECT_EQ(next.Language(), &german);

    ASSERT_EQ(german.MemoEntries().size(), 1u);
    const TLanguageMemo& memo = *german.MemoEntries()[0];
    EXPECT_EQ(memo.GLID(), 88);
    EXPECT_EQ(memo.Line(), 2);
    EXPECT_EQ(LinesOf(memo), (std::vector<std::string>{"The first line", "The second line"}));
}

TEST_F(LanguageTextTest, OneLineTextsKeepWhatStandsBetweenTheSeparators)
{
    german.Strings()->SetText("7;Back;dropped after the second separator\r\n"
                              "8; Cancel\r\n"
                              "\t9;Finish  \r\n"
                              "$10;Hexadecimal\r\n"
                              "-3;Negative\r\n"
                              "11;" + std::string(300, 'x') + "\r\n");
    const auto& entries = german.StringEntries();
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0]->Text(), "Back");
    EXPECT_EQ(entries[1]->Text(), " Cancel");  // the blank after ";" belongs to the text
    EXPECT_EQ(entries[2]->Text(), "Finish");    // the line is trimmed before it is read
    EXPECT_EQ(entries[3]->GLID(), 16);
    EXPECT_EQ(entries[4]->GLID(), -3);
    EXPECT_EQ(entries[5]->Text(), std::string(255, 'x'));
    EXPECT_EQ(german.FindString(8), entries[1].get());
    EXPECT_EQ(german.FindString(12), nullptr);
}

TEST_F(LanguageTextTest, MemosSkipCommentsAndBlankLinesAndMayOmitTheSeparator)
{
    german.Strings()->SetText("#12\r\nfirst\r\n* not text\r\n\r\n   \r\n#not a marker\r\n#\r\n1;after\r\n#13;\r\nleft open\r\n");
    ASSERT_EQ(german.MemoEntries().size(), 1u);  // the memo left open at the end is dropped
    EXPECT_EQ(german.MemoEntries()[0]->GLID(), 12);
    EXPECT_EQ(LinesOf(*german.MemoEntries()[0]), (std::vector<std::string>{"first", "#not a marker"}));
    ASSERT_EQ(german.StringEntries().size(), 1u);
    EXPECT_EQ(german.StringEntries()[0]->Line(), 7);
}

TEST_F(LanguageTextTest, MalformedLinesRaiseTheirErrorWithTheLineFromZero)
{
    struct Case {
        std::string Text;
        std::string Message;
    } cases[] = {
        {"1;a\r\n\r\n#\r\n", "Found the end of memo marker # at line 2. Was not in a memo however"},
        {";no number", "The 0'th string (;no number) does not have the proper format of GLID;Text"},
        {"1;a\r\n5", "The 1'th string (5) does not have the proper format of GLID;Text"},
        {"5;   \t", "The 0'th string (5;) does not have the proper format of GLID;Text"},
        {"#;", "The 0'th string (#;) does not have the proper format of GLID;Text"},
        {"abc;text", "The 0'th string (abc;text) does not have the proper format of GLID;Text or .GLID;"},
        {"5 ;text", "The 0'th string (5 ;text) does not have the proper format of GLID;Text or .GLID;"},
        {"# 88;", "The 0'th string (# 88;) does not have the proper format of GLID;Text or .GLID;"},
        {"99999999999;big", "The 0'th string (99999999999;big) does not have the proper format of GLID;Text or .GLID;"},
        // Hexadecimal only after "$".
        {"0x10;hex", "The 0'th string (0x10;hex) does not have the proper format of GLID;Text or .GLID;"},
        {"1;a\r\n-0X10;hex", "The 1'th string (-0X10;hex) does not have the proper format of GLID;Text or .GLID;"},
        {"#0x10;", "The 0'th string (#0x10;) does not have the proper format of GLID;Text or .GLID;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        german.Strings()->SetText("1;valid\r\n#2;\r\nmemo\r\n#\r\n");
        ASSERT_EQ(german.StringEntries().size(), 1u);
        EXPECT_EQ(ParseError(german, c.Text), c.Message);
        // The language is left without entries; its lines stay as they were set.
        EXPECT_TRUE(german.StringEntries().empty());
        EXPECT_TRUE(german.MemoEntries().empty());
        EXPECT_EQ(german.Strings()->Text().empty(), false);
        EXPECT_TRUE(german.ParseOnChange());
    }
}

TEST_F(LanguageTextTest, ChangingTheLinesParsesAgainButDeletingOnlyMovesEntriesUp)
{
    TLangFormatStrings& lines = *german.Strings();
    lines.Add("1;one");
    lines.Add("2;two");
    lines.Add("3;three");
    ASSERT_EQ(german.StringEntries().size(), 3u);

    lines.Delete(0);
    ASSERT_EQ(german.StringEntries().size(), 3u);  // still parsed from the old lines
    EXPECT_EQ(german.FindString(1)->Line(), 0);
    EXPECT_EQ(german.FindString(2)->Line(), 0);
    EXPECT_EQ(german.FindString(3)->Line(), 1);

    lines.Insert(0, "4;four");
    ASSERT_EQ(german.StringEntries().size(), 3u);
    EXPECT_EQ(german.FindString(1), nullptr);
    EXPECT_EQ(german.FindString(4)->Line(), 0);

    lines.Move(0, 2);
    EXPECT_EQ(german.FindString(4)->Line(), 2);

    rtl::TStringList other;
    other.Add("5;five");
    lines.AddStrings(other);
    EXPECT_EQ(german.FindString(5)->Line(), 3);

    rtl::TStringStream stream("6;six\r\n#7;\r\nmemo\r\n#\r\n");
    lines.LoadFromStream(stream);
    EXPECT_EQ(german.StringEntries().size(), 1u);
    EXPECT_EQ(german.FindMemo(7)->Line(), 1);

    lines.Clear();
    EXPECT_TRUE(german.StringEntries().empty());
    EXPECT_TRUE(german.MemoEntries().empty());
}

TEST_F(LanguageTextTest, AssigningParsesOnceAfterAllLinesAreIn)
{
    // Line by line, the lone "#" would end a memo that is not open yet.
    rtl::TStringList source;
    source.Add("#");
    source.Insert(0, "memo text");
    source.Insert(0, "#3;");
    german.SetStrings(&source);
    ASSERT_EQ(german.MemoEntries().size(), 1u);
    EXPECT_EQ(german.MemoEntries()[0]->GLID(), 3);

    rtl::TStringList broken;
    broken.Add("x;y");
    EXPECT_THROW(german.SetStrings(&broken), rtl::Exception);
    EXPECT_TRUE(german.ParseOnChange());
    EXPECT_TRUE(german.MemoEntries().empty());
    german.Strings()->Clear();  // parses again now that the flag is back
    EXPECT_TRUE(german.StringEntries().empty());
}

TEST(LanguageTable, CharacterSetsFacesAndNames)
{
    EXPECT_EQ(LanguageInfo(tlGreek).Charset, 0);
    EXPECT_STREQ(LanguageInfo(tlGreek).FaceName, "SGreek");
    EXPECT_EQ(LanguageInfo(tlPortugese).Charset, 238);
    EXPECT_EQ(LanguageInfo(tlVietnamese).Charset, 163);
    EXPECT_EQ(LanguageInfo(tlHebrew).Charset, 177);
    EXPECT_EQ(std::string(LanguageInfo(tlChineseTraditional).FaceName), "\xB7\x73\xB2\xD3\xA9\xFA\xC5");
    EXPECT_EQ(std::string(LanguageInfo(tlChineseSimplified).FaceName).size(), 7u);
    EXPECT_EQ(std::string(LanguageInfo(tlJapanese).FaceName).size(), 15u);
    EXPECT_EQ(std::string(LanguageInfo(tlKorean).FaceName), "\xB9\xD9\xC5\xC1");
    EXPECT_EQ(LanguageInfo(tlKorean).MinSize, 9);

    TTranslator translator(nullptr);
    EXPECT_STREQ(translator.lgChineseSimplified()->ResourceName(), "BM_LANG_SIMPCHINESE");
    EXPECT_STREQ(translator.lgPortugese()->FileName(), "trwiPortugese.txt");
    ASSERT_EQ(translator.Languages().size(), 21u);
    EXPECT_EQ(translator.Languages()[20]->LanguageIdent(), tlVietnamese);

    for (int bad : {static_cast<int>(tlUser), 22}) {
        try {
            LanguageInfo(static_cast<TTrwkLanguage>(bad));
            ADD_FAILURE() << bad;
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), "Unrecognized language");
        }
    }
}
