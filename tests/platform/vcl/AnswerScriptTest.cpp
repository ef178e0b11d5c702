// A program run as a process answers its windows from a script and logs what it showed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/ChildProcess.h"

namespace {

class AnswerScriptTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return std::string(std::getenv("SCRIVANE_PREFIX")) + "/" + name; }

    TChildRun Answer(const std::string& script, int waitMs = 30000)
    {
        std::ofstream(Path("answers.txt"), std::ios::binary) << script;
        std::remove(Path("windows.log").c_str());
        return RunChild(VCL_ANSWER_PROGRAM, {},
                        {{"SCRIVANE_ANSWERS", Path("answers.txt")},
                         {"SCRIVANE_WINDOW_LOG", Path("windows.log")},
                         {"SCRIVANE_ANSWER_WAIT_MS", std::to_string(waitMs)}},
                        {}, 60000);
    }
    std::string Log() const
    {
        std::ifstream in(Path("windows.log"), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

}  // namespace

TEST_F(AnswerScriptTest, TheScriptWalksPagesAndBoxesAndTheLogListsWhatWasShown)
{
    const TChildRun run = Answer("# the question first\n"
                                 "Question\t&Yes\r\n"
                                 "\n"
                                 "Welcome\tNext >\n"
                                 "Ready\t< Back\n"
                                 "Welcome\tNext >\n"
                                 "Ready\tNext >\n"
                                 "Confirm\t&No\n"
                                 "Ready\tNext >\n"
                                 "Confirm\t&Yes\n");
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Out, "question 6\nwizard 1\n") << run.Err;
    EXPECT_EQ(run.Err.find("answers:"), std::string::npos) << run.Err;
    // Pages shown before their frame are not seen until it shows; each shows when it comes to the front
    // (a page that stays in front is not shown again).
    EXPECT_EQ(Log(), "message Question: Go on?\n"
                     "form Setup Wizard\n"
                     "form Welcome\n"
                     "form Ready\n"
                     "form Welcome\n"
                     "form Ready\n"
                     "message Confirm: Install now?\n"
                     "message Confirm: Install now?\n"
                     "form Finished\n");
}

TEST_F(AnswerScriptTest, WhatDoesNotComeTrueClosesWithCancelAndSaysSo)
{
    // The page behind the front one is not seen, so its button cannot be pressed.
    auto started = std::chrono::steady_clock::now();
    TChildRun run = Answer("Question\t&Yes\nWelcome\tNext >\nWelcome\tNext >\n", 300);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Out, "question 6\nwizard 2\n");
    EXPECT_NE(run.Err.find("answers: line 3 wants the button 'Next >' of 'Welcome', which did not come within 300 ms; "
                           "the modal window 'Setup Wizard' (TForm) closes with Cancel"),
              std::string::npos)
        << run.Err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));

    // A disabled button is no answer either.
    run = Answer("Question\t&Yes\nWelcome\tSkip\n", 300);
    EXPECT_EQ(run.Out, "question 6\nwizard 2\n");
    EXPECT_EQ(run.Err.find("the disabled button was clicked"), std::string::npos);
    EXPECT_NE(run.Err.find("line 2 wants the button 'Skip'"), std::string::npos) << run.Err;

    // The lines run out: the frame closes with Cancel.
    run = Answer("Question\t&Yes\nWelcome\tNext >\n");
    EXPECT_EQ(run.Out, "question 6\nwizard 2\n");
    EXPECT_NE(run.Err.find("answers: no answer left; the modal window 'Setup Wizard' (TForm) closes with Cancel"),
              std::string::npos)
        << run.Err;
    EXPECT_EQ(Log(), "message Question: Go on?\nform Setup Wizard\nform Welcome\nform Ready\nform Finished\n");
}

TEST_F(AnswerScriptTest, AMessageBoxTakesItsLineOnlyWhenCaptionAndButtonFit)
{
    // Another caption: the box takes its escape answer and the line stays for the next window.
    TChildRun run = Answer("Confirm\t&Yes\n", 300);
    EXPECT_EQ(run.Out, "question 7\nwizard 2\n");
    EXPECT_NE(run.Err.find("line 1 wants 'Confirm', but the MessageBox 'Question': Go on? came; taken as 7"),
              std::string::npos)
        << run.Err;

    // A button the box does not have.
    run = Answer("Question\tOK\n", 300);
    EXPECT_EQ(run.Out, "question 7\nwizard 2\n");
    EXPECT_NE(run.Err.find("line 1 wants the button 'OK', which the MessageBox 'Question': Go on? does not have"),
              std::string::npos)
        << run.Err;

    // The button's caption is matched as shown, "&" included.
    run = Answer("Question\tYes\n", 300);
    EXPECT_EQ(run.Out, "question 7\nwizard 2\n");
}

TEST_F(AnswerScriptTest, AStandingLineAnswersItsWindowWheneverItComes)
{
    // The confirmation comes twice and is answered each time, before the lines in order and between them;
    // a standing line for a window that never comes costs no wait.
    const auto started = std::chrono::steady_clock::now();
    TChildRun run = Answer("*Never shown\tOK\n"
                           "*Confirm\t&No\n"
                           "*Question\t&Yes\n"
                           "Welcome\tNext >\n"
                           "Ready\tNext >\n"
                           "Ready\tNext >\n",
                           5000);
    EXPECT_EQ(run.Out, "question 6\nwizard 2\n") << run.Err;
    EXPECT_NE(run.Err.find("answers: no answer left"), std::string::npos) << run.Err;
    EXPECT_EQ(Log(), "message Question: Go on?\nform Setup Wizard\nform Welcome\nform Ready\n"
                     "message Confirm: Install now?\nmessage Confirm: Install now?\nform Finished\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));

    // A standing answer for the page that is in front takes it whatever the next line wants.
    run = Answer("*Question\t&Yes\n*Welcome\tNext >\n*Confirm\t&Yes\nReady\tNext >\n");
    EXPECT_EQ(run.Out, "question 6\nwizard 1\n") << run.Err;
    EXPECT_EQ(run.Err.find("answers:"), std::string::npos) << run.Err;
}

TEST_F(AnswerScriptTest, WithoutAScriptNobodyAnswers)
{
    std::remove(Path("windows.log").c_str());
    const TChildRun run = RunChild(VCL_ANSWER_PROGRAM, {}, {{"SCRIVANE_WINDOW_LOG", Path("windows.log")}});
    EXPECT_EQ(run.Out, "question 7\nwizard 2\n");
    EXPECT_NE(run.Err.find("nobody can answer the modal window"), std::string::npos) << run.Err;
    // Nothing comes to the front while no one answers; the frame shows its first page.
    EXPECT_EQ(Log(), "message Question: Go on?\nform Setup Wizard\nform Welcome\nform Finished\n");
}
