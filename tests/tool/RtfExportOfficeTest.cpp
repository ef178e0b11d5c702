// The rich-text export of the example project read by a real word processor: LibreOffice, headless,
// converts it to text and to HTML. The text must hold every page's text and the hyperlinks of the
// contents must point at bookmarks the document has. Skipped only when LibreOffice is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"
#include "platform/rtl/Encoding.h"
#include "platform/vcl/TestDriver.h"
#include "platform/win/Paths.h"
#include "platform/win/SystemInfo.h"
#include "tests/platform/vcl/VclTestFixture.h"
#include "tests/tool/HelpTestSupport.h"
#include "tool/AboutUnit.h"
#include "tool/HelpBuild.h"
#include "tool/MainUnit.h"
#include "tool/TextExport.h"

using namespace vcl;
namespace vt = vcl::test;
namespace fs = std::filesystem;

namespace {

// The converter on PATH, or "" when there is none.
std::string FindOffice()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/soffice";
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

// One conversion with a profile of its own, bounded in time; gives the converted file's text.
std::string Convert(const std::string& office, const fs::path& work, const fs::path& input, const std::string& format,
                    const std::string& extension)
{
    const fs::path out = work / extension;
    fs::create_directories(out);
    const std::string command = "timeout -k 10 240 '" + office + "' -env:UserInstallation=file://" +
                                (work / "profile").string() + " --headless --norestore --nolockcheck --convert-to '" +
                                format + "' --outdir '" + out.string() + "' '" + input.string() + "' > '" +
                                (out / "log").string() + "' 2>&1 < /dev/null";
    const int status = std::system(command.c_str());
    const fs::path result = out / (input.stem().string() + "." + extension);
    EXPECT_EQ(status, 0) << command << "\n" << rtl::ReadWholeFile(win::WindowsPathFromHost((out / "log").string()));
    if (!fs::exists(result)) {
        ADD_FAILURE() << "no " << result << " from: " << command;
        return "";
    }
    return rtl::ReadWholeFile(win::WindowsPathFromHost(result.string()));
}

// The runs of a rich text that are not markers, one per piece between markers and paragraph ends,
// trimmed; as UTF-8.
std::vector<std::string> TextRuns(const rtl::TStrings& lines)
{
    if (lines.Count() == 0)
        return {};
    const richedit::TRichDocument document = richedit::ReadRtf(lines.Text());
    const AnsiString& text = document.Text();
    std::vector<std::string> runs;
    AnsiString run;
    auto flush = [&] {
        const AnsiString trimmed = rtl::Trim(run);
        if (!trimmed.empty())
            runs.push_back(rtl::AnsiToUtf8(trimmed));
        run.clear();
    };
    for (int i = 0; i < document.Length(); ++i) {
        const char c = text[static_cast<size_t>(i)];
        if (c == '\r' || c == '\n' || document.AttributesAt(i).Underline)
            flush();
        else
            run += c == '\t' ? ' ' : c;
    }
    flush();
    return runs;
}

// Blanks and TABs of any length as one blank, so the converter's spacing does not matter.
std::string Squeezed(const std::string& text)
{
    return std::regex_replace(text, std::regex("[ \\t\\xa0]+"), " ");
}

class RtfExportOfficeTest : public VclTest {
protected:
    void SetUp() override
    {
        VclTest::SetUp();
        StartProgramIn("Office");
        form = OpenMainWindow();
        work = fs::temp_directory_path() / ("scrivane-office-" + std::to_string(::getpid()));
        fs::remove_all(work);
        fs::create_directories(work);
    }
    void TearDown() override
    {
        form.reset();
        if (!HasFailure())
            fs::remove_all(work);
        VclTest::TearDown();
    }

    void LoadDemo()
    {
        const AnsiString demo = win::WindowsPathFromHost(SCRIVANE_EXAMPLES_DIR "/demo.wkp");
        form->LoadProject(demo);
        ProjectState().ProjectFileName = demo;
    }
    // The loaded project exported through the menu to `name` in the work folder.
    fs::path ExportRtf(const char* name)
    {
        const fs::path rtf = work / name;
        vt::AnswerFileDialog(win::WindowsPathFromHost(rtf.string()));
        vt::AnswerMessage(mrOk);
        vt::Find<TMenuItem>(*form, "RTF1").Click();
        return rtf;
    }

    std::unique_ptr<TfrmMainMenu> form;
    fs::path work;
};

}  // namespace

TEST_F(RtfExportOfficeTest, TheExampleProjectReadsBackWithItsTextAndLinks)
{
    const std::string office = FindOffice();
    if (office.empty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";

    LoadDemo();
    const fs::path rtf = ExportRtf("demo.rtf");
    ASSERT_EQ(vt::Messages().size(), 1u);
    ASSERT_EQ(vt::LastMessage().Text, RtfExportedText);

    // Every page's text, header and link texts included, in the converted text.
    const std::string text = Squeezed(Convert(office, work, rtf, "txt:Text (encoded):UTF8", "txt"));
    const rtl::TStrings& pages = *form->lstPages->Items();
    ASSERT_GT(pages.Count(), 0);
    for (int i = 0; i < pages.Count(); ++i) {
        const TPageObject& page = PageAt(pages, i);
        SCOPED_TRACE(page.Name);
        std::vector<std::string> expected = TextRuns(page.Text);
        const std::vector<std::string> header = TextRuns(page.Header);
        expected.insert(expected.end(), header.begin(), header.end());
        for (int j = 0; j < page.Links.Count(); ++j)
            expected.push_back(rtl::AnsiToUtf8(static_cast<const TLinkObject*>(page.Links.Objects(j))->Text));
        EXPECT_FALSE(expected.empty());
        for (const std::string& run : expected)
            EXPECT_NE(text.find(Squeezed(run)), std::string::npos) << "missing: " << run << "\nin:\n" << text;
    }

    // Every hyperlink within the document points at a bookmark it has, and each contents topic has one.
    const std::string html = Convert(office, work, rtf, "html:HTML (StarWriter):UTF8", "html");
    std::set<std::string> anchors;
    const std::regex anchor("<a\\s[^>]*(?:name|id)=\"([^\"]+)\"", std::regex::icase);
    for (auto it = std::sregex_iterator(html.begin(), html.end(), anchor); it != std::sregex_iterator(); ++it)
        anchors.insert((*it)[1]);
    std::vector<std::string> targets;
    const std::regex link("<a\\s[^>]*href=\"#([^\"]+)\"", std::regex::icase);
    for (auto it = std::sregex_iterator(html.begin(), html.end(), link); it != std::sregex_iterator(); ++it)
        targets.push_back((*it)[1]);
    for (const std::string& target : targets)
        EXPECT_EQ(anchors.count(target), 1u) << "no bookmark " << target << " in:\n" << html;

    const TPageIndex pageIndex(pages);
    const rtl::TStrings& toc = *ProjectState().TocList;
    int topics = 0;
    for (int i = 0; i < toc.Count(); ++i) {
        size_t level = 0;
        const TTocObject& entry = TocEntryAt(toc, i, level);
        const TPageObject* page = entry.IsGroup ? nullptr : pageIndex.Find(entry.PageName);
        if (!page)
            continue;
        ++topics;
        EXPECT_NE(std::find(targets.begin(), targets.end(), std::string(page->TopicID)), targets.end())
            << "no hyperlink to " << page->TopicID << " in:\n" << html;
    }
    EXPECT_GT(topics, 0);
}

namespace {

// A page text of runs as the editor writes it; a run "\r\n" ends a paragraph.
void SetRuns(rtl::TStrings& lines, std::initializer_list<std::pair<AnsiString, richedit::TCharAttributes>> runs)
{
    richedit::TRichDocument document;
    for (const auto& [text, attributes] : runs) {
        if (text == "\r\n")
            document.AppendParagraphEnd(attributes, richedit::paLeft);
        else
            document.AppendText(text, attributes);
    }
    lines.Clear();
    for (const AnsiString& line : richedit::WriteRtfLines(document))
        lines.Add(line);
}

// The paragraph of the converted HTML that holds `text`, from its "<p" to its "</p>".
std::string ParagraphWith(const std::string& html, const std::string& text)
{
    const size_t at = html.find(text);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no " << text << " in:\n" << html;
        return "";
    }
    const size_t start = html.rfind("<p", at);
    const size_t end = html.find("</p>", at);
    return html.substr(start == std::string::npos ? 0 : start, end == std::string::npos ? end : end - start);
}

bool Italic(const std::string& markup)
{
    return std::regex_search(markup, std::regex("<i>|<em>|font-style:\\s*italic", std::regex::icase));
}
bool Green(const std::string& markup)
{
    return std::regex_search(markup, std::regex("#008000", std::regex::icase));
}

}  // namespace

TEST_F(RtfExportOfficeTest, FormattingEndsWithItsPage)
{
    const std::string office = FindOffice();
    if (office.empty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";

    // An italic header whose text the editor leaves unclosed, and a translation stopped at a broken
    // link after the marker colour was written: neither may reach the pages after them.
    richedit::TCharAttributes plain;
    richedit::TCharAttributes italic = plain;
    italic.Italic = true;
    richedit::TCharAttributes green = plain;
    green.Color = 32768;
    TTestPages pages;
    TPageObject& a = pages.Add("A", "IDH_A");
    SetRuns(a.Header, {{"Heading of A", italic}});
    SetRuns(a.Text, {{"Body of A", plain}});
    TPageObject& b = pages.Add("B", "IDH_B");
    SetRuns(b.Text, {{"leaf", green}, {"\r\n", green}, {"Body of B", plain}});
    TPageObject& c = pages.Add("C", "IDH_C");
    SetTextWithMarker(c.Text, "##Gone##");
    AddLink(c, "Gone", 0, "Missing", "gone");
    TPageObject& d = pages.Add("D", "IDH_D");
    SetRuns(d.Text, {{"Body of D", plain}});

    rtl::TStringList fonts;
    rtl::TStringList colors;
    BuildFontTable(pages.List, fonts);
    BuildColorTable(pages.List, colors);
    TTopicWriter writer(pages.List, fonts, colors);
    vt::AnswerMessage(mrOk);
    rtl::TStringList toc;
    EXPECT_TRUE(WriteRtfExport(writer, toc, "C:\\"));
    const fs::path rtf = work / "pages.rtf";
    rtl::WriteWholeFile(win::WindowsPathFromHost(rtf.string()), writer.Text());

    // The converter breaks lines inside a paragraph's text.
    const std::string html = std::regex_replace(Convert(office, work, rtf, "html:HTML (StarWriter):UTF8", "html"),
                                                std::regex("\\s+"), " ");
    // The checks see italic and green where they are.
    EXPECT_TRUE(Italic(ParagraphWith(html, "Heading of A"))) << html;
    EXPECT_TRUE(Green(ParagraphWith(html, "leaf"))) << html;
    for (const char* text : {"Body of A", "Body of B", "Body of D"}) {
        const std::string paragraph = ParagraphWith(html, text);
        EXPECT_FALSE(Italic(paragraph)) << paragraph;
        EXPECT_FALSE(Green(paragraph)) << paragraph;
    }
}

TEST_F(RtfExportOfficeTest, PastedGreekTextReadsBackAsGreek)
{
    const std::string office = FindOffice();
    if (office.empty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";

    LoadDemo();
    TPageObject& page = PageAt(*form->lstPages->Items(), 0);
    const AnsiString pasted = richedit::WriteRtf(richedit::ReadRtf(
        "{\\rtf1\\ansi\\ansicpg1253{\\fonttbl{\\f0\\fswiss\\fcharset161 Arial;}}\\f0 Omega \\'d9\\'e1.}"));
    page.Text.SetText(pasted);
    const fs::path rtf = ExportRtf("greek.rtf");
    ASSERT_EQ(vt::LastMessage().Text, RtfExportedText);

    const std::string text = Convert(office, work, rtf, "txt:Text (encoded):UTF8", "txt");
    EXPECT_NE(text.find("Omega \xCE\xA9\xCE\xB1."), std::string::npos) << text;  // "Ωα" in UTF-8
}
