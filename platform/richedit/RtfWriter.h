#pragma once
// The rich text the editor control writes. It has one fixed shape, because the help build and the
// exports read it with plain string scanners:
//
//   {\rtf1\ansi\deff0{\fonttbl{\f0\fnil\fcharset0 Arial;}{\f1\fnil\fcharset0 Courier New;}}
//   {\colortbl ;\red0\green128\blue0;}
//   \pard\f0\fs20 See \cf1\ul\protect ##Next##\cf0\ulnone  \protect0 now.\par
//   \pard\qc\b\'c9t\'e9\b0\tab 2\par
//   }
//
// - the header line holds the font table: fonts numbered from 0 in the order the text first uses them,
//   each entry exactly {\fN\fnil\fcharsetC Face;} with the character set of the text's bytes (a face
//   used in two sets is two fonts); the colour table (only when a colour other than the
//   automatic black is used) follows on a line of its own, automatic colour first, entries without blanks;
// - one line per paragraph, ending in \par except the last paragraph's; a paragraph whose alignment
//   differs from the one before it (and the first) starts with \pard and \qc or \qr;
// - in the body only \par, \pard, \qc, \qr, \fN, \fsN, \cfN, \b/\b0, \i/\i0, \strike/\strike0,
//   \ul/\ulnone, \protect/\protect0, \tab, \'hh, \\, \{ and \}; attributes are switched (always in that
//   order) just before the text that needs them, and off explicitly; no groups;
// - a blank follows a control word only where text follows it; text never breaks across lines;
// - the closing brace stands alone on the last line.
//
// Reading the output back (RtfReader.h) gives the same document, so writing that again gives the same
// bytes.

#include <vector>

#include "platform/richedit/RichDocument.h"

namespace richedit {

// The lines, without their line ends.
std::vector<AnsiString> WriteRtfLines(const TRichDocument& document);
// The lines, each followed by CR LF.
AnsiString WriteRtf(const TRichDocument& document);

}  // namespace richedit
