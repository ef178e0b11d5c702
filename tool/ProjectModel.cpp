#include "tool/ProjectModel.h"

TPageObject::TPageObject()
{
    Links.SetOwnsObjects(true);
}

TProjectState& ProjectState()
{
    static TProjectState state;
    return state;
}

std::unique_ptr<rtl::TStringList> NewTocList()
{
    auto list = std::make_unique<rtl::TStringList>();
    list->SetOwnsObjects(true);
    return list;
}

void FreeObjectsAndClear(rtl::TStrings& list)
{
    auto* owning = dynamic_cast<rtl::TStringList*>(&list);
    if (owning != nullptr && owning->OwnsObjects()) {
        owning->Clear();
        return;
    }
    for (int i = 0; i < list.Count(); ++i) {
        rtl::TObject* object = list.Objects(i);
        list.SetObjects(i, nullptr);
        delete object;
    }
    list.Clear();
}

bool TryFieldToInt(const AnsiString& text, int32_t& value)
{
    // The runtime library's reader takes the sign and both hexadecimal prefixes but no blanks.
    size_t first = text.find_first_not_of(' ');
    if (first == AnsiString::npos)
        return false;
    int parsed = 0;
    if (!rtl::TryStrToInt(text.substr(first), parsed))
        return false;
    value = parsed;
    return true;
}
