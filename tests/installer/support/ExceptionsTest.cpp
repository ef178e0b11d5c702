#include <gtest/gtest.h>

#include "installer/support/TranslatorHooks.h"
#include "installer/support/TrwkExceptions.h"
#include "platform/vcl/Classes.h"
#include "tests/installer/support/FakeTranslator.h"

namespace {

template <class E, class F>
std::string MessageOf(F raise)
{
    try {
        raise();
    } catch (const E& e) {
        return e.Message();
    }
    return "<nothing raised>";
}

}  // namespace

TEST(TranslatorHooks, WithoutTranslatorEverythingStaysAsItIs)
{
    ASSERT_EQ(GlobalTranslator(), nullptr);
    EXPECT_EQ(TranslateText("Next >"), "Next >");
    vcl::TComponent component(nullptr);
    EXPECT_EQ(TranslateComponent(tlEnglish, &component), tlEnglish);
    EXPECT_EQ(TranslateComponentInto(tlFrench, tlGerman, &component), tlFrench);
    TranslateControlFont(nullptr, false);
    TranslateControlFontInto(tlGerman, nullptr, false);
}

TEST(TranslatorHooks, InstalledTranslatorAnswersEveryHook)
{
    vcl::TComponent component(nullptr);
    {
        TFakeTranslator translator({{"Next >", "Weiter >"}});
        EXPECT_EQ(GlobalTranslator(), &translator);
        EXPECT_EQ(TranslateText("Next >"), "Weiter >");
        ASSERT_EQ(translator.Lookups.size(), 1u);
        EXPECT_EQ(translator.Lookups[0].first, tlEnglish);  // texts of the program are English
        EXPECT_EQ(TranslateComponent(tlEnglish, &component), tlGerman);
        EXPECT_EQ(translator.LastComponent, &component);
        EXPECT_EQ(TranslateComponentInto(tlEnglish, tlDutch, &component), tlDutch);
        TranslateControlFont(nullptr, true);
        TranslateControlFontInto(tlGreek, nullptr, false);
        EXPECT_EQ(translator.FontCalls, (std::vector<std::string>{"keep", "into tlGreek"}));
    }
    EXPECT_EQ(GlobalTranslator(), nullptr);
    EXPECT_EQ(TranslateText("Next >"), "Next >");
}

TEST(LibraryExceptions, FixedMessagesAndFamilies)
{
    EXPECT_EQ(MessageOf<EAI>([] { throw EAIUserAbort(); }), "Installation aborted by the user");
    EXPECT_EQ(MessageOf<rtl::Exception>([] { throw EUserAbortInstall(); }), "Creating Install Aborted!");
    EXPECT_EQ(MessageOf<ETrwkCompress>([] { throw EtcDiskFull(); }), "The disk is full");
    EXPECT_EQ(MessageOf<ETarnwickAbnormal>([] { throw EtcAborted(); }), "Operation aborted by user");
    EXPECT_EQ(MessageOf<ECustomTarnwickAbnormal>([] { throw EAPIRoutines("api"); }), "api");
    EXPECT_EQ(MessageOf<ECustomTarnwickAbnormal>([] { throw IEInstallHardLink("link"); }), "link");
    EXPECT_EQ(MessageOf<EAI>([] { throw EAICannotExpandInstallDirMV("mv"); }), "mv");

    try {
        throw EProgramLauncherFailed("Could not start", -5);
    } catch (const EProgramLauncher& e) {
        EXPECT_EQ(dynamic_cast<const EProgramLauncherFailed&>(e).ErrorCode, -5);
    }
}

TEST(LibraryExceptions, WithoutTranslatorMessagesAreEnglish)
{
    EXPECT_EQ(MessageOf<IException>([] { throw IException("100% done"); }), "100% done");
    EXPECT_EQ(MessageOf<IException>([] { throw IEInstallHardLink(Fmt, "Could not create hardlink for %s", "a.txt"); }),
              "Could not create hardlink for a.txt");
    EXPECT_EQ(MessageOf<IException>([] { throw IException(Fmt, "%d of %d", 3, 7); }), "3 of 7");
}

TEST(LibraryExceptions, TranslatedFamilyTranslatesMessageAndFormatButNotArguments)
{
    TFakeTranslator translator({
        {"Setup failed", "Installation fehlgeschlagen"},
        {"Could not create hardlink for %s", "Harter Link für %s nicht möglich"},
        {"readme.txt", "liesmich.txt"},
    });
    EXPECT_EQ(MessageOf<IException>([] { throw IException("Setup failed"); }), "Installation fehlgeschlagen");
    EXPECT_EQ(MessageOf<IException>([] { throw IEInstallHardLink(Fmt, "Could not create hardlink for %s", "readme.txt"); }),
              "Harter Link für readme.txt nicht möglich");
    EXPECT_EQ(MessageOf<IException>([] { throw IException("No translation here"); }), "No translation here");
}

TEST(LibraryExceptions, OtherFamiliesAreNotTranslated)
{
    TFakeTranslator translator({{"The disk is full", "Die Platte ist voll"}, {"api", "API"}});
    EXPECT_EQ(MessageOf<ETrwkCompress>([] { throw EtcDiskFull(); }), "The disk is full");
    EXPECT_EQ(MessageOf<EAPIRoutines>([] { throw EAPIRoutines("api"); }), "api");
    EXPECT_TRUE(translator.Lookups.empty());
}

TEST(LibraryExceptions, TranslationWithOtherPlaceholdersFallsBackToEnglish)
{
    TFakeTranslator translator({
        {"Could not create hardlink for %s", "Harter Link %d"},       // wrong kind
        {"%s cannot be copied", "%s kann nicht nach %s kopiert werden"},  // one too many
        {"%s of %s", "%1:s von %0:s"},                                 // reordered: fits
        {"Done %s", "Fertig"},                                        // drops the argument: fits
        {"Broken %s", "Kaputt %"},                                    // malformed
    });
    EXPECT_EQ(MessageOf<IException>([] { throw IEInstallHardLink(Fmt, "Could not create hardlink for %s", "a.txt"); }),
              "Could not create hardlink for a.txt");
    EXPECT_EQ(MessageOf<IException>([] { throw IException(Fmt, "%s cannot be copied", "b.dll"); }), "b.dll cannot be copied");
    EXPECT_EQ(MessageOf<IException>([] { throw IException(Fmt, "%s of %s", "1", "2"); }), "2 von 1");
    EXPECT_EQ(MessageOf<IException>([] { throw IException(Fmt, "Done %s", "x"); }), "Fertig");
    EXPECT_EQ(MessageOf<IException>([] { throw IException(Fmt, "Broken %s", "x"); }), "Broken x");
    // Even a format that fits nothing gives its text.
    EXPECT_EQ(MessageOf<IException>([] { throw IException(Fmt, "Missing %s and %d"); }), "Missing %s and %d");
}
