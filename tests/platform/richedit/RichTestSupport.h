#pragma once
// Building documents for the rich-text tests.

#include <cstdint>
#include <random>
#include <string>

#include "platform/richedit/RichDocument.h"

namespace richtest {

using richedit::TCharAttributes;
using richedit::TRichDocument;

inline constexpr uint32_t MarkerGreen = 0x008000;

inline TCharAttributes Arial10() { return TCharAttributes{}; }

inline TCharAttributes Marker()
{
    TCharAttributes a;
    a.Color = MarkerGreen;
    a.Underline = true;
    a.Protected = true;
    return a;
}

inline TCharAttributes ProtectedBlank()
{
    TCharAttributes a;
    a.Protected = true;
    return a;
}

// "See ##Next## now." with a link marker as the page editor inserts it.
inline TRichDocument MarkerDocument()
{
    TRichDocument doc;
    doc.AppendText("See ", Arial10());
    doc.AppendText("##Next##", Marker());
    doc.AppendText(" ", ProtectedBlank());
    doc.AppendText("now.", Arial10());
    return doc;
}

// A document of random edits: mixed fonts, sizes, colours, styles, protection, alignment, tabs, escapes
// and 8-bit characters, with paragraph ends whose attributes differ from their text.
inline TRichDocument RandomDocument(uint32_t seed, int edits)
{
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    static const char* const faces[] = {"Arial", "Times New Roman", "Courier New", "Caf\xe9 Sans"};
    static const int sizes[] = {16, 20, 21, 24, 36};
    static const uint32_t colors[] = {0, MarkerGreen, 0x0000FF, 0xFF8000};
    static const char* const pieces[] = {"word ", "##Link##", "#pics\\a.bmp#", "\t", "\r\n", "{x}",
                                         "\\", "\xe9\xfc\x80", " ", "a;b", "12"};
    TRichDocument doc;
    for (int n = 0; n < edits; ++n) {
        int length = doc.Length();
        int start = pick(length + 1);
        int end = std::min(length, start + pick(6));
        TCharAttributes a;
        a.Face = faces[pick(4)];
        a.HalfPoints = sizes[pick(5)];
        a.Color = colors[pick(4)];
        a.Bold = pick(2) == 0;
        a.Italic = pick(3) == 0;
        a.Underline = pick(4) == 0;
        a.StrikeOut = pick(5) == 0;
        a.Protected = pick(4) == 0;
        switch (pick(4)) {
        case 0:
        case 1:
            doc.ReplaceText(start, start, pieces[pick(11)], a, nullptr);
            break;
        case 2:
            doc.ChangeAttributes(start, end, richedit::TAttributeChange::All(a), nullptr);
            break;
        default:
            doc.SetAlignment(start, end, static_cast<richedit::TParaAlignment>(pick(3)), nullptr);
            break;
        }
    }
    return doc;
}

}  // namespace richtest
