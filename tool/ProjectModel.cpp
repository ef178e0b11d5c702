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
