#pragma once
// Reads rich text into a document. Tolerant: it takes our own writer's shape and whatever well-formed
// rich text hand-written fixtures or older files hold (\deflang, \deftab, \viewkind, \uc, \u with its
// fallback, {\*...} destinations, \plain, \ul0, \line, tables of any layout); unknown control words are
// skipped. On malformed input (unbalanced braces, truncated escapes, huge numbers, deep nesting) it
// reads what it can and never fails.
//
//   richedit::TRichDocument doc = richedit::ReadRtf("{\\rtf1 {\\b Hello}\\par world}");
//   doc.Text();                   // "Hello\r\nworld"
//
// Only text that does not look like rich text at all is refused (ERichTextError).

#include <string_view>

#include "platform/richedit/RichDocument.h"

namespace richedit {

// True when the text begins, after blanks and line ends, with "{\rtf".
bool IsRtf(std::string_view text);

// Raises ERichTextError "Not a rich-text document" when IsRtf is false.
TRichDocument ReadRtf(std::string_view text);

}  // namespace richedit
