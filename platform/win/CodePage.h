#pragma once
// Windows-1252, the code page of every AnsiString, against the UTF-8 of host file names.

#include <string>

namespace win {

// Each byte as its Windows-1252 character; the five unassigned bytes become the C1 controls of the same
// number, so every byte string survives the round trip.
std::string Utf8FromAnsi(const std::string& text);
// Characters Windows-1252 lacks become '?'; bytes that are not valid UTF-8 are taken as Windows-1252 bytes
// already, so a host name in any encoding still maps to something.
std::string AnsiFromUtf8(const std::string& text);

char AnsiUpperChar(char c);
std::string AnsiUpperCase(const std::string& text);
// Equal ignoring case, as Windows compares file names.
bool SameFileName(const std::string& a, const std::string& b);

}  // namespace win
