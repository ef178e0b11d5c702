#pragma once
// A GoogleTest fixture for window tests: the test driver runs for each test, and every failure it records
// (an unexpected modal form or message box, a script that left its form open, an answer never used)
// fails the test. Leftover forms are freed at the end.
//
//   class MyWindowTest : public VclTest {};
//   TEST_F(MyWindowTest, SomethingModal) { vcl::test::OnNextModal(...); ... }
//
// Hold forms in the test body (a local std::unique_ptr, or owned by Application): TearDown frees every form
// still alive, so a form kept in a member of the fixture would be freed twice.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/vcl/TestDriver.h"

class VclTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vcl::test::Begin([this](const vcl::AnsiString& failure) {
            if (collecting_)
                collected_.push_back(failure);
            else
                ADD_FAILURE() << failure;
        });
    }
    void TearDown() override { vcl::test::End(); }

    // From here on the driver's failures are gathered (for tests of the failures themselves).
    void CollectFailures() { collecting_ = true; }
    const std::vector<std::string>& Collected() const { return collected_; }

private:
    bool collecting_ = false;
    std::vector<std::string> collected_;
};
