#pragma once
// The help project in memory: its pages with their links, the table of contents, and the settings that
// the whole program shares.
//
//   auto* page = new TPageObject;              // owned by the main window's page list
//   page->Name = "Intro";
//   auto* link = new TLinkObject;              // owned by the page once it is in page->Links
//   page->Links.AddObject(link->Name, link);
//   ProjectState().Modified = true;

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Colors.h"

#include <cstdint>
#include <memory>

using rtl::AnsiString;

class TLinkObject : public rtl::TObject {
public:
    AnsiString Name;
    // A page name, a URL or an e-mail address, by LinkType.
    AnsiString Target;
    AnsiString Text;
    // 0 topic in this project, 1 external URL, 2 e-mail address.
    int32_t LinkType = 0;
    bool Popup = false;
};

class TPageObject : public rtl::TObject {
public:
    TPageObject();

    AnsiString Name;
    AnsiString TopicID;
    AnsiString TopicTitle;
    AnsiString IndexKeywords;
    AnsiString ContextID;
    // Rich-text lines of the body and of the header.
    rtl::TStringList Text;
    rtl::TStringList Header;
    // Link names, each line carrying its TLinkObject, which the list owns.
    rtl::TStringList Links;
    rtl::TStringList Pictures;
};

class TTocObject : public rtl::TObject {
public:
    AnsiString Name;
    // Empty for a group.
    AnsiString PageName;
    bool IsGroup = false;
};

// The project settings and the preferences; one per running program.
struct TProjectState {
    AnsiString ProjectFileName;
    bool Modified = false;
    vcl::TColor PageColor = vcl::clWhite;
    vcl::TColor HeaderColor = vcl::clWhite;
    // One line per contents entry in pre-order: depth in TABs, then the entry's text. Owns its TTocObjects.
    std::unique_ptr<rtl::TStringList> TocList;
    int32_t WindowLeft = 0;
    int32_t WindowTop = 0;
    int32_t WindowWidth = 200;
    int32_t WindowHeight = 200;
    AnsiString HelpFileName;
    bool AutoSaveBackup = true;
    bool CheckForUpdates = false;
    bool ShowHelpFile = true;
    bool UseCompression = true;
};

TProjectState& ProjectState();

// A new, empty contents list that owns its entries.
std::unique_ptr<rtl::TStringList> NewTocList();

// Frees the object of every line (each once), then empties the list.
void FreeObjectsAndClear(rtl::TStrings& list);

// A whole number as the dialogs accept it in a field (the context number, the help window's place and
// size): optional leading blanks, an optional sign, then decimal digits, or hexadecimal digits after "$"
// or "0x", within 32 bits (hexadecimal up to FFFFFFFF, which reads as -1). Gives false, and leaves
// `value` alone, for anything else, the empty text included.
bool TryFieldToInt(const rtl::AnsiString& text, int32_t& value);
