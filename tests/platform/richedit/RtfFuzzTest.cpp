// Random mutations of valid rich text: the reader must neither crash nor hang (the sanitizers watch),
// and whatever it makes of the input must settle: writing it, reading that back and writing again gives
// the same bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "platform/richedit/RtfReader.h"
#include "platform/richedit/RtfWriter.h"
#include "tests/platform/richedit/RichTestSupport.h"

using namespace richedit;

namespace {

const char* const HandWritten =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
    "{\\f1\\fnil Courier New;}}\r\n{\\colortbl ;\\red0\\green128\\blue0;\\red255\\green0\\blue0;}\r\n"
    "{\\*\\generator Hand;}\\viewkind4\\uc1\\pard\\qr\\f0\\fs20 One \\cf1\\ul\\protect ##Link##\\cf0\\ulnone "
    " \\protect0\\u233?\\'e9{\\b\\i x\\plain y}\\line\\tab\\strike z\\strike0\\par\r\n"
    "{\\pict\\bin3 {}}\\pard\\qc\\fs28 \\{\\}\\\\ end\\par\r\n}\r\n";

const char Alphabet[] = "{}\\'; \r\n0123456789-abfsuclpqrtx*?";

AnsiString Mutate(AnsiString text, std::mt19937& random)
{
    auto pick = [&](size_t n) { return n == 0 ? size_t{0} : static_cast<size_t>(random() % n); };
    int steps = 1 + static_cast<int>(pick(4));
    for (int s = 0; s < steps; ++s) {
        size_t at = pick(text.size() + 1);
        switch (pick(6)) {
        case 0:  // flip a byte
            if (at < text.size())
                text[at] = static_cast<char>(random());
            break;
        case 1:  // insert a character RTF cares about
            text.insert(at, 1, Alphabet[pick(sizeof Alphabet - 1)]);
            break;
        case 2:  // delete a stretch
            text.erase(at, pick(12));
            break;
        case 3:  // duplicate a stretch
            if (at < text.size())
                text.insert(pick(text.size()), text.substr(at, pick(40)));
            break;
        case 4:  // cut the text short
            text.resize(std::max<size_t>(at, 6));
            break;
        default:  // a huge number
            text.insert(at, "\\fs" + AnsiString(1 + pick(30), '9'));
            break;
        }
    }
    return text;
}

}  // namespace

TEST(RtfFuzz, MutatedRichTextIsReadAndSettles)
{
    std::mt19937 random(20240601);
    const AnsiString seeds[] = {HandWritten, WriteRtf(richtest::RandomDocument(7, 120)),
                                WriteRtf(richtest::MarkerDocument())};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int runs = 0;
    for (; runs < 4000 && std::chrono::steady_clock::now() < deadline; ++runs) {
        AnsiString input = Mutate(seeds[runs % 3], random);
        if (!IsRtf(input)) {
            EXPECT_THROW(ReadRtf(input), ERichTextError);
            continue;
        }
        TRichDocument doc = ReadRtf(input);
        AnsiString once = WriteRtf(doc);
        TRichDocument again = ReadRtf(once);
        ASSERT_TRUE(again == doc) << "input:\n" << input;
        ASSERT_EQ(WriteRtf(again), once) << "input:\n" << input;
    }
    EXPECT_GE(runs, 1000);
}
