#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/richedit/RichDocument.h"
#include "tests/platform/richedit/RichTestSupport.h"

using namespace richedit;
using namespace richtest;

namespace {

// Records the protect queries and answers them with `allow`.
struct TQueryLog {
    bool allow = false;
    std::vector<std::pair<int, int>> asked;
    TProtectQuery Query()
    {
        return [this](int start, int end) {
            asked.emplace_back(start, end);
            return allow;
        };
    }
};

TRichDocument TwoParagraphs()
{
    TRichDocument doc;
    doc.ReplaceText(0, 0, "abc\r\ndef", Arial10(), nullptr);
    return doc;
}

}  // namespace

TEST(RichDocument, ParagraphEndsCountTwoPositions)
{
    TRichDocument doc = TwoParagraphs();
    EXPECT_EQ(doc.Length(), 8);
    EXPECT_EQ(doc.ParagraphCount(), 2);
    EXPECT_EQ(doc.ParagraphAt(3), 0);  // the CR belongs to the paragraph it ends
    EXPECT_EQ(doc.ParagraphAt(4), 0);
    EXPECT_EQ(doc.ParagraphAt(5), 1);
    EXPECT_EQ(doc.ParagraphStart(1), 5);
    EXPECT_EQ(doc.ParagraphEnd(0), 3);
    EXPECT_EQ(doc.ParagraphEnd(1), 8);
}

TEST(RichDocument, PositionsNeverSplitAParagraphEnd)
{
    TRichDocument doc = TwoParagraphs();
    EXPECT_EQ(doc.SnapCaret(4), 3);
    EXPECT_EQ(doc.SnapCaret(99), 8);
    EXPECT_EQ(doc.SnapCaret(-1), 0);
    int start = 4, end = 4;
    doc.SnapRange(start, end);
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 3);
    start = 0, end = 4;
    doc.SnapRange(start, end);
    EXPECT_EQ(end, 5);  // a range ending in the pair takes all of it
    start = 4, end = 6;
    doc.SnapRange(start, end);
    EXPECT_EQ(start, 3);

    doc.Delete(0, 4, nullptr);
    EXPECT_EQ(doc.Text(), "def");
    EXPECT_EQ(doc.ParagraphCount(), 1);
}

TEST(RichDocument, LineEndsAndControlCharactersAreNormalised)
{
    TRichDocument doc;
    doc.ReplaceText(0, 0, "a\rb\nc\r\nd\x01\te", Arial10(), nullptr);
    EXPECT_EQ(doc.Text(), "a\r\nb\r\nc\r\nd\te");
    EXPECT_EQ(doc.ParagraphCount(), 4);
}

TEST(RichDocument, PlainLinesLeaveOutAFinalEmptyParagraph)
{
    TRichDocument doc;
    EXPECT_TRUE(doc.PlainLines().empty());
    doc.ReplaceText(0, 0, "one\r\n\r\ntwo\r\n", Arial10(), nullptr);
    EXPECT_EQ(doc.PlainLines(), (std::vector<AnsiString>{"one", "", "two"}));
    doc.ReplaceText(doc.Length(), doc.Length(), "x", Arial10(), nullptr);
    EXPECT_EQ(doc.PlainLines().back(), "x");
}

TEST(RichDocument, TypingAndDeletingInsideAMarkerAsksFirst)
{
    TRichDocument doc = MarkerDocument();  // "See ##Next## now.", marker at 4..11, blank at 12
    TQueryLog log;

    EXPECT_FALSE(doc.ReplaceText(6, 6, "x", Arial10(), log.Query()));  // inside the marker
    EXPECT_FALSE(doc.Delete(7, 8, log.Query()));                       // one of its characters
    EXPECT_FALSE(doc.ReplaceText(3, 6, "zz", Arial10(), log.Query())); // over part of it
    EXPECT_EQ(doc.Text(), "See ##Next## now.");
    ASSERT_EQ(log.asked.size(), 3u);
    EXPECT_EQ(log.asked[0], std::make_pair(6, 6));
    EXPECT_EQ(log.asked[1], std::make_pair(7, 8));

    log.allow = true;
    EXPECT_TRUE(doc.Delete(7, 8, log.Query()));
    EXPECT_EQ(doc.Text(), "See ##Nxt## now.");
}

TEST(RichDocument, TypingBesideAMarkerIsNoChangeToIt)
{
    TRichDocument doc = MarkerDocument();
    TQueryLog log;
    EXPECT_TRUE(doc.ReplaceText(4, 4, "[", Arial10(), log.Query()));   // before its first "#"
    EXPECT_TRUE(doc.ReplaceText(14, 14, "]", Arial10(), log.Query())); // after its protected blank
    EXPECT_TRUE(doc.Delete(0, 3, log.Query()));
    EXPECT_TRUE(log.asked.empty());
    EXPECT_EQ(doc.Text(), " [##Next## ]now.");
    // Typed text never inherits the protection of what stands before it.
    EXPECT_FALSE(doc.InsertionAttributes(12).Protected);
}

TEST(RichDocument, AttributesOverProtectedTextAsk)
{
    TRichDocument doc = MarkerDocument();
    TQueryLog log;
    TAttributeChange bold;
    bold.Bold = true;
    EXPECT_FALSE(doc.ChangeAttributes(0, 6, bold, log.Query()));
    EXPECT_FALSE(doc.AttributesAt(0).Bold);
    EXPECT_TRUE(doc.ChangeAttributes(0, 3, bold, log.Query()));  // no protected character in it
    EXPECT_EQ(log.asked.size(), 1u);

    // Protecting unprotected text touches nothing protected.
    TAttributeChange protect;
    protect.Protected = true;
    EXPECT_TRUE(doc.ChangeAttributes(13, 17, protect, log.Query()));
    EXPECT_EQ(log.asked.size(), 1u);
    EXPECT_TRUE(doc.AllProtected(4, 17));
}

TEST(RichDocument, AlignmentAsksWhenItsParagraphsHoldProtectedText)
{
    TRichDocument doc = MarkerDocument();
    doc.ReplaceText(0, 0, "Top\r\n", Arial10(), nullptr);
    TQueryLog log;
    EXPECT_TRUE(doc.SetAlignment(1, 1, paCenter, log.Query()));
    EXPECT_TRUE(log.asked.empty());
    EXPECT_FALSE(doc.SetAlignment(6, 6, paRight, log.Query()));  // the caret in the marker's paragraph
    EXPECT_EQ(doc.Alignment(1), paLeft);
    ASSERT_EQ(log.asked.size(), 1u);
    EXPECT_EQ(log.asked[0], std::make_pair(5, doc.Length()));
    // A selection that ends with a paragraph end does not reach into the next paragraph.
    EXPECT_TRUE(doc.SetAlignment(0, 5, paRight, log.Query()));
    EXPECT_EQ(doc.Alignment(0), paRight);
    EXPECT_EQ(doc.Alignment(1), paLeft);
}

TEST(RichDocument, AlignmentTravelsWithTheParagraphEnd)
{
    TRichDocument doc = TwoParagraphs();
    doc.SetAlignment(0, 0, paCenter, nullptr);
    doc.SetAlignment(5, 5, paRight, nullptr);

    // Enter in a centred paragraph gives two centred paragraphs.
    TRichDocument enter = doc;
    enter.ReplaceText(1, 1, "\r\n", Arial10(), nullptr);
    EXPECT_EQ(enter.Alignment(0), paCenter);
    EXPECT_EQ(enter.Alignment(1), paCenter);
    EXPECT_EQ(enter.Alignment(2), paRight);

    // Joining keeps the alignment of the paragraph whose end survives.
    TRichDocument joined = doc;
    joined.Delete(3, 5, nullptr);
    EXPECT_EQ(joined.ParagraphCount(), 1);
    EXPECT_EQ(joined.Alignment(0), paRight);

    // A pasted whole paragraph keeps its own alignment; the paragraph pasted into keeps its own.
    TRichDocument fragment = doc.Copy(0, 5);
    EXPECT_EQ(fragment.Text(), "abc\r\n");
    doc.Replace(5, 5, fragment, nullptr);
    EXPECT_EQ(doc.Text(), "abc\r\nabc\r\ndef");
    EXPECT_EQ(doc.Alignment(1), paCenter);
    EXPECT_EQ(doc.Alignment(2), paRight);
}

TEST(RichDocument, CopyAndReplaceKeepAttributes)
{
    TRichDocument doc = MarkerDocument();
    TRichDocument marker = doc.Copy(4, 13);
    EXPECT_EQ(marker.Text(), "##Next## ");
    EXPECT_EQ(marker.AttributesAt(0), Marker());
    EXPECT_EQ(marker.AttributesAt(8), ProtectedBlank());

    TRichDocument target;
    target.ReplaceText(0, 0, "ab", Arial10(), nullptr);
    target.Replace(1, 1, marker, nullptr);
    EXPECT_EQ(target.Text(), "a##Next## b");
    EXPECT_TRUE(target.AllProtected(1, 10));
    EXPECT_FALSE(target.IsProtected(10));
    EXPECT_EQ(target.Copy(1, 10), marker);
}

TEST(RichDocument, EmptyParagraphsShowTheirEnd)
{
    TRichDocument doc;
    TAttributeChange courier;
    courier.Face = "Courier New";
    courier.HalfPoints = 24;
    doc.ChangeAttributes(0, 0, courier, nullptr);  // the empty document's own attributes
    EXPECT_EQ(doc.InsertionAttributes(0).Face, "Courier New");

    doc.ReplaceText(0, 0, "abc\r\n\r\nxyz", doc.InsertionAttributes(0), nullptr);
    TAttributeChange bold;
    bold.Bold = true;
    doc.ChangeAttributes(5, 5, bold, nullptr);  // the empty middle paragraph
    EXPECT_TRUE(doc.AttributesAt(5).Bold);
    EXPECT_TRUE(doc.InsertionAttributes(5).Bold);
    EXPECT_FALSE(doc.AttributesAt(3).Bold);
    doc.ChangeAttributes(1, 1, bold, nullptr);  // a paragraph with text: nothing to change
    EXPECT_FALSE(doc.AttributesAt(1).Bold);

    // Emptying the document keeps the look of what was there.
    doc.Delete(0, doc.Length(), nullptr);
    EXPECT_EQ(doc.EmptyAttributes().Face, "Courier New");
}

TEST(RichDocument, InsertionTakesTheCharacterBeforeOrTheParagraphsFirst)
{
    TRichDocument doc;
    TCharAttributes big;
    big.HalfPoints = 40;
    doc.ReplaceText(0, 0, "a", Arial10(), nullptr);
    doc.ReplaceText(1, 1, "\r\nB", big, nullptr);
    EXPECT_EQ(doc.InsertionAttributes(1).HalfPoints, 20);
    EXPECT_EQ(doc.InsertionAttributes(3).HalfPoints, 40);  // the start of "B"'s paragraph
    EXPECT_EQ(doc.InsertionAttributes(0).HalfPoints, 20);
}

TEST(RichDocument, AttributesAreCleanedOnTheWayIn)
{
    TRichDocument doc;
    TCharAttributes dirty;
    dirty.Face = " {Bad;\\Face} ";
    dirty.HalfPoints = 100000;
    dirty.Color = 0x80000008;  // a system colour
    doc.ReplaceText(0, 0, "x", dirty, nullptr);
    EXPECT_EQ(doc.AttributesAt(0).Face, "BadFace");
    EXPECT_EQ(doc.AttributesAt(0).HalfPoints, MaxHalfPoints);
    EXPECT_EQ(doc.AttributesAt(0).Color, 0u);

    TAttributeChange empty;
    empty.Face = "  ";
    doc.ChangeAttributes(0, 1, empty, nullptr);
    EXPECT_EQ(doc.AttributesAt(0).Face, "BadFace");
}

TEST(RichDocument, RunsSplitAtAttributeChangesAndParagraphEnds)
{
    TRichDocument doc = MarkerDocument();
    doc.ReplaceText(0, 0, "x\r\n", Arial10(), nullptr);
    std::vector<std::pair<int, int>> runs;
    int ends = 0;
    doc.ForEachRun([&](const TRichDocument::TRun& run) {
        runs.emplace_back(run.Start, run.Length);
        ends += run.IsParagraphEnd;
    });
    EXPECT_EQ(runs, (std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {3, 4}, {7, 8}, {15, 1}, {16, 4}}));
    EXPECT_EQ(ends, 1);
}

// Protected text keeps its look to itself: typed text takes the nearest unprotected neighbour.
TEST(RichDocument, TypedTextNeverTakesAProtectedNeighboursLook)
{
    TCharAttributes bold = Arial10();
    bold.Bold = true;
    TRichDocument doc;
    doc.AppendText("##Next##", Marker());
    doc.AppendText(" ", ProtectedBlank());
    doc.AppendText("after", bold);
    doc.AppendParagraphEnd(Arial10(), paLeft);
    doc.AppendText("##Only##", Marker());
    doc.AppendText(" ", ProtectedBlank());

    EXPECT_EQ(doc.InsertionAttributes(0), bold);      // before a marker at a paragraph's start
    EXPECT_EQ(doc.InsertionAttributes(9), bold);      // behind its blank, at the text's start
    EXPECT_EQ(doc.InsertionAttributes(16), Arial10());  // a paragraph holding a marker only: its end
    EXPECT_EQ(doc.InsertionAttributes(doc.Length()), Arial10());
    EXPECT_EQ(doc.InsertionAttributes(12).Bold, true);  // plain text between plain text as before

    // Deleting everything leaves the empty document typing with that look, not the marker's.
    TRichDocument marker;
    marker.AppendText("##Next##", Marker());
    marker.AppendText(" ", ProtectedBlank());
    marker.Delete(0, marker.Length(), nullptr);
    EXPECT_EQ(marker.EmptyAttributes(), Arial10());
}

// Each kept step, taken back newest first, gives exactly the document before its edit: text, attributes,
// paragraph ends and their alignments, also the last paragraph's and an emptied document's look.
TEST(RichDocument, UndoStepsGiveBackEveryEarlierState)
{
    std::mt19937 random(5);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    TRichDocument doc = RandomDocument(3, 40);
    std::vector<TRichDocument> before;
    std::vector<TRichDocument::TUndoStep> steps;
    static const char* const texts[] = {"x", "\r\n", "ab\r\ncd", ""};
    for (int n = 0; n < 200; ++n) {
        int start = pick(doc.Length() + 1);
        int end = std::min(doc.Length(), start + pick(8));
        doc.SnapRange(start, end);
        TRichDocument::TUndoStep step = doc.KeepForUndo(start, end);
        before.push_back(doc);
        TCharAttributes a;
        a.Bold = pick(2) == 0;
        a.Protected = pick(5) == 0;
        switch (pick(4)) {
        case 0: {
            AnsiString text = NormalizeText(texts[pick(4)]);
            doc.ReplaceText(start, end, text, a, nullptr);
            step.End = start + static_cast<int>(text.size());
            break;
        }
        case 1:
            if (end > start)  // a caret's change of an empty paragraph is kept by the control as its end's
                doc.ChangeAttributes(start, end, TAttributeChange::All(a), nullptr);
            break;
        case 2: {
            // Whole paragraphs, as the control keeps them for an alignment.
            int first = doc.ParagraphAt(start), last = doc.ParagraphAt(end);
            step = doc.KeepForUndo(doc.ParagraphStart(first), doc.ParagraphEnd(last));
            doc.SetAlignment(start, end, static_cast<TParaAlignment>(pick(3)), nullptr);
            break;
        }
        default:
            step = doc.KeepForUndo(0, doc.Length());
            doc.Delete(0, doc.Length(), nullptr);
            step.End = 0;
            break;
        }
        steps.push_back(step);
    }
    for (size_t k = steps.size(); k-- > 0;) {
        ASSERT_TRUE(doc.Undo(steps[k], nullptr)) << k;
        ASSERT_TRUE(doc == before[k]) << "step " << k;
    }
}
