// The version-check window against a web server the test starts on 127.0.0.1 in place of the maker's:
// the texts for a newer, the same and a broken answer, the notes, and a check that is not run twice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/net/HttpTestSupport.h"
#include "tests/platform/vcl/RealWidgetPress.h"
#include "tool/update/CheckForNewVersions.h"

namespace {

const char* const ErrorText = "There was an error checking if a new version was available.  Please try again later.";

std::vector<std::string> MemoLines(TfrmCheckForNewVersions& form)
{
    std::vector<std::string> lines;
    for (int i = 0; i < form.mmoVersionNotes->Lines()->Count(); ++i)
        lines.push_back((*form.mmoVersionNotes->Lines())[i]);
    return lines;
}

std::string Ok(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body;
}

class CheckForNewVersionsTest : public HttpPrefixTest {
protected:
    // Runs the check as activating the window does, with the program at `running`.
    std::unique_ptr<TfrmCheckForNewVersions> Check(const std::string& answer, const char* running = "1.0.0.56")
    {
        server_ = std::make_unique<TLoopbackPeer>(Answer(answer));
        SendPort80To(server_->Port());
        auto form = std::make_unique<TfrmCheckForNewVersions>(nullptr);
        form->RunningVersion = [running] { return rtl::AnsiString(running); };
        form->HTTPGetVersion->SetResponseTimeout(2000);
        form->FormActivate(form.get());
        return form;
    }
    std::unique_ptr<TLoopbackPeer> server_;
};

}  // namespace

TEST(SplitBodyLinesTest, EveryKindOfBreakNulsAndTheEnds)
{
    auto split = [](const std::string& bytes) {
        rtl::TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        rtl::TStringList list;
        TfrmCheckForNewVersions::SplitBodyLines(list, stream);
        std::vector<std::string> lines;
        for (int i = 0; i < list.Count(); ++i)
            lines.push_back(list[i]);
        return lines;
    };
    const std::vector<std::string> three = {"a", "", "b"};
    EXPECT_EQ(split("a\n\nb"), three);
    EXPECT_EQ(split("a\r\rb"), three);
    EXPECT_EQ(split("a\r\n\r\nb\r\n"), three);
    EXPECT_EQ(split("a\n\r\nb\r"), three);
    EXPECT_EQ(split(""), std::vector<std::string>{});
    EXPECT_EQ(split("\r\n"), std::vector<std::string>{""});
    EXPECT_EQ(split(std::string("ab\0cd\nef", 8)), (std::vector<std::string>{"ab", "ef"}));
}

TEST_F(CheckForNewVersionsTest, ADifferentVersionIsNewWithTheNotesAfterTheFixedLines)
{
    auto form = Check(Ok("1.0.0.57\r\nFaster saving.\nFewer crashes."));
    EXPECT_EQ(server_->Received(), VersionRequest);
    EXPECT_EQ(form->lblStatus->Caption(), "New Version Found");
    EXPECT_EQ(MemoLines(*form), (std::vector<std::string>{"There is a newer version of Scrivane available.",
                                                          "You are currently running version: 1.0.0.56",
                                                          "The most current version is: 1.0.0.57", "",
                                                          "Version Info:", "Faster saving.", "Fewer crashes."}));
    // Older, or the same with a blank behind it, is "new" too: only an exact match is current.
    for (const char* body : {"1.0.0.55\n", "1.0.0.56 \r\n"}) {
        SCOPED_TRACE(body);
        form = Check(Ok(body));
        EXPECT_EQ(form->lblStatus->Caption(), "New Version Found");
    }
}

TEST_F(CheckForNewVersionsTest, ALongAnswerEndsWithAllItsNotesWithinTheTimeOut)
{
    const int notes = 40000;
    std::string body = "1.0.0.57\r\n";
    for (int i = 0; i < notes; ++i)
        body += "note " + std::to_string(i) + " of the long list\r\n";
    server_ = std::make_unique<TLoopbackPeer>(Answer(Ok(body)));
    SendPort80To(server_->Port());
    TfrmCheckForNewVersions form(nullptr);
    form.RunningVersion = [] { return rtl::AnsiString("1.0.0.56"); };
    form.HTTPGetVersion->SetResponseTimeout(10000);
    form.Show();  // the widget takes the notes too
    const auto start = std::chrono::steady_clock::now();
    form.FormActivate(&form);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(form.lblStatus->Caption(), "New Version Found");
    const std::vector<std::string> lines = MemoLines(form);
    ASSERT_EQ(lines.size(), static_cast<size_t>(notes + 5));
    EXPECT_EQ(lines[5], "note 0 of the long list");
    EXPECT_EQ(lines.back(), "note " + std::to_string(notes - 1) + " of the long list");
    form.Hide();
}

// The window's own widget, not only the memo's lines: a check after another shows its own notes alone, with
// blank lines, blanks and accented letters as they came.
TEST_F(CheckForNewVersionsTest, TheWidgetShowsExactlyTheNotesOfTheLastCheck)
{
    auto shownFor = [this](TfrmCheckForNewVersions& form, const std::string& notes) {
        server_ = std::make_unique<TLoopbackPeer>(Answer(Ok("1.0.0.57\r\n" + notes)));
        SendPort80To(server_->Port());
        form.FormActivate(&form);
        vcl::Application->ProcessMessages();
        return std::string(vcl::test::RealEditText(*form.mmoVersionNotes));
    };
    const std::string fixed = "There is a newer version of Scrivane available.\nYou are currently running version: "
                              "1.0.0.56\nThe most current version is: 1.0.0.57\n\nVersion Info:\n";
    TfrmCheckForNewVersions form(nullptr);
    form.RunningVersion = [] { return rtl::AnsiString("1.0.0.56"); };
    form.HTTPGetVersion->SetResponseTimeout(5000);
    form.Show();
    std::string many, manyShown;
    for (int i = 0; i < 3000; ++i) {
        many += "note " + std::to_string(i) + "\r\n";
        manyShown += "note " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(shownFor(form, many), fixed + manyShown);
    EXPECT_EQ(shownFor(form, "  indented\tand tabbed\r\n\r\nd\xe9j\xe0 vu\n"),
              fixed + "  indented\tand tabbed\n\nd\xe9j\xe0 vu\n");
    form.Hide();
}

TEST_F(CheckForNewVersionsTest, TheSameVersionWithOrWithoutALineBreakIsCurrent)
{
    for (const char* body : {"1.0.0.56\r\n", "1.0.0.56", "1.0.0.56\nnotes not shown\n"}) {
        SCOPED_TRACE(body);
        auto form = Check(Ok(body));
        EXPECT_EQ(form->lblStatus->Caption(), "No New Version Found");
        EXPECT_EQ(MemoLines(*form),
                  std::vector<std::string>{"You are currently using the most recent version of Scrivane."});
    }
}

TEST_F(CheckForNewVersionsTest, BrokenEmptyAndSilentServersShowTheErrorText)
{
    const std::vector<std::string> answers = {
        "HTTP/1.0 404 Not Found\r\n\r\n",
        Ok(""),                                                 // no line to compare
        "HTTP/1.0 200 OK\r\nContent-Length: 50\r\n\r\n1.0.0.57\r\n",  // cut short
        "1.0.0.57\r\n",                                         // no status line
        "HTTP/1.0 302 Found\r\nLocation: ftp://www.example.com/v.txt\r\nContent-Length: 1\r\n\r\nx",
    };
    for (const std::string& answer : answers) {
        SCOPED_TRACE(answer);
        auto form = Check(answer);
        EXPECT_EQ(form->lblStatus->Caption(), "ERROR");
        EXPECT_EQ(MemoLines(*form), std::vector<std::string>{ErrorText});
    }

    TLoopbackPeer silent([](int fd, TLoopbackPeer& peer) {
        ReadRequest(fd, peer);
        peer.WaitForClientClose(fd, 5000);
    });
    SendPort80To(silent.Port());
    TfrmCheckForNewVersions form(nullptr);
    form.RunningVersion = [] { return rtl::AnsiString("1.0.0.56"); };
    form.HTTPGetVersion->SetResponseTimeout(300);
    auto start = std::chrono::steady_clock::now();
    form.FormActivate(&form);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(form.lblStatus->Caption(), "ERROR");

    SendPort80To(TLoopbackPeer::ClosedPort());
    form.lblStatus->SetCaption("");
    form.FormActivate(&form);
    EXPECT_EQ(form.lblStatus->Caption(), "ERROR");
}

TEST_F(CheckForNewVersionsTest, ActivatingTheWindowDuringACheckStartsNoSecondOne)
{
    std::atomic<int> requests{0};
    TLoopbackPeer server([&](int fd, TLoopbackPeer& peer) {
        if (ReadRequest(fd, peer).empty())
            return;
        ++requests;
        TLoopbackPeer::SendAll(fd, Ok("1.0.0.56\r\n"));
    });
    SendPort80To(server.Port());
    TfrmCheckForNewVersions form(nullptr);
    form.RunningVersion = [] { return rtl::AnsiString("1.0.0.56"); };
    int nested = 0;
    form.HTTPGetVersion->OnSessionConnected = [&](vcl::TObject*) {
        ++nested;
        form.FormActivate(&form);  // returns at once instead of failing as "busy"
    };
    form.FormActivate(&form);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(form.lblStatus->Caption(), "No New Version Found");
    // Once it has ended, activating the window checks again.
    form.FormActivate(&form);
    EXPECT_EQ(requests, 2);
}

// The window shown, as a person sees it, against servers that trickle, never end their header, or reset:
// the window keeps answering, the verdict comes within the time-out, and only a whole answer is a result.
TEST_F(CheckForNewVersionsTest, TheShownWindowStaysResponsiveAndShowsOnlyWholeAnswers)
{
    struct TCase {
        const char* name;
        TLoopbackPeer::TSession session;
        const char* caption;
    };
    const auto resetAfterBody = [](int fd, TLoopbackPeer& peer) {
        if (ReadRequest(fd, peer).empty())
            return;
        TLoopbackPeer::SendAll(fd, "HTTP/1.0 200 OK\r\n\r\n1.0.0");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        TLoopbackPeer::ResetOnClose(fd);
    };
    std::vector<TCase> cases;
    cases.push_back({"trickling body", Trickle("HTTP/1.0 200 OK\r\n\r\n1.0.0.57\r\n" + std::string(200, 'n'), 20),
                     "ERROR"});
    cases.push_back({"trickling header", Trickle("HTTP/1.0 200 OK\r\n" + std::string(200, 'h'), 20), "ERROR"});
    cases.push_back({"endless header", EndlessHeader(), "ERROR"});
    cases.push_back({"reset after the body", resetAfterBody, "ERROR"});
    cases.push_back({"interim answer first",
                     Answer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\n\r\n1.0.0.56\r\n"), "No New Version Found"});
    for (TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TLoopbackPeer server(c.session);
        SendPort80To(server.Port());
        TfrmCheckForNewVersions form(nullptr);
        form.RunningVersion = [] { return rtl::AnsiString("1.0.0.56"); };
        form.HTTPGetVersion->SetResponseTimeout(1500);
        form.Show();
        TLoopGapWatch loop;
        const auto start = std::chrono::steady_clock::now();
        form.FormActivate(&form);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
        EXPECT_LT(loop.Longest(), std::chrono::milliseconds(250));
        EXPECT_EQ(form.lblStatus->Caption(), c.caption);
        form.Hide();
    }
}

TEST_F(CheckForNewVersionsTest, ClosingTheWindowDuringACheckEndsItAtOnce)
{
    TLoopbackPeer silent([](int fd, TLoopbackPeer& peer) {
        ReadRequest(fd, peer);
        peer.WaitForClientClose(fd, 5000);
    });
    SendPort80To(silent.Port());
    TfrmCheckForNewVersions form(nullptr);
    form.RunningVersion = [] { return rtl::AnsiString("1.0.0.56"); };
    form.HTTPGetVersion->SetResponseTimeout(10000);
    form.Show();
    vcl::TTimer close(nullptr);
    close.SetInterval(200);
    close.OnTimer = [&](vcl::TObject*) {
        close.SetEnabled(false);
        form.CloseRequestedByUser();
    };
    close.SetEnabled(true);
    const auto start = std::chrono::steady_clock::now();
    form.FormActivate(&form);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(form.lblStatus->Caption(), "ERROR");
}
