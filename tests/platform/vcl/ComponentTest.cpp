#include <gtest/gtest.h>

#include <memory>

#include "tests/platform/vcl/TestComponents.h"

using namespace vcl;
using namespace vcltest;

namespace {

// Records every notification it is told of.
class TWatcher : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<std::pair<TComponent*, TOperation>> Seen;
    // Frees this component when told of `trigger`'s removal (a notification that frees another listener).
    TComponent* FreeOnRemovalOf = nullptr;
    TComponent* Victim = nullptr;

protected:
    void Notification(TComponent* component, TOperation operation) override
    {
        Seen.emplace_back(component, operation);
        if (operation == opRemove && component == FreeOnRemovalOf && Victim) {
            delete Victim;
            Victim = nullptr;
        }
    }
};

class TProbe : public TComponent {
public:
    using TComponent::TComponent;
    ~TProbe() override { sawDestroying = IsDestroying(); }
    static inline bool sawDestroying = false;
};

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override { Log().clear(); }
};

TEST_F(ComponentTest, OwnerFreesOwnedComponentsOnceLastFirst)
{
    auto owner = std::make_unique<TTestControl>(nullptr);
    owner->SetName("owner");
    for (const char* name : {"a", "b", "c"})
        (new TTestControl(owner.get()))->SetName(name);
    auto* inner = new TTestControl(owner->FindComponent("b"));
    inner->SetName("inner");
    ASSERT_EQ(owner->ComponentCount(), 3);
    EXPECT_EQ(owner->Components(1)->Name(), "b");
    EXPECT_EQ(inner->Owner()->Name(), "b");

    owner.reset();
    // Each destructor body runs before the component's owned components go, newest first.
    EXPECT_EQ(Log(), (std::vector<std::string>{"~owner", "~c", "~b", "~inner", "~a"}));
}

TEST_F(ComponentTest, ParentThatFreesItsChildrenDoesNotFreeThemTwice)
{
    auto form = std::make_unique<TTestControl>(nullptr);
    auto* panel = new TTestControl(form.get());
    auto* button = new TTestControl(form.get());
    panel->SetName("panel");
    button->SetName("button");
    button->SetParent(panel);  // owned by the form, contained by the panel

    delete panel;  // takes the button with it, and both leave the form's list
    EXPECT_EQ(form->ComponentCount(), 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"~button", "~panel"}));
}

TEST_F(ComponentTest, NamesAreUniqueWithinOwnerWithoutRegardToCase)
{
    TComponent owner(nullptr);
    auto* first = new TComponent(&owner);
    first->SetName("Button1");
    auto* second = new TComponent(&owner);

    try {
        second->SetName("BUTTON1");
        FAIL() << "duplicate name accepted";
    } catch (const EComponentError& e) {
        EXPECT_STREQ(e.what(), "A component named BUTTON1 already exists");
    }
    EXPECT_EQ(second->Name(), "");

    EXPECT_EQ(owner.FindComponent("button1"), first);
    first->SetName("BUTTON1");  // a change of case only is no clash with itself
    EXPECT_EQ(owner.FindComponent("Button1"), first);
    first->SetName("Other");
    EXPECT_EQ(owner.FindComponent("Button1"), nullptr);
    second->SetName("Button1");
    EXPECT_EQ(owner.FindComponent("button1"), second);

    // Unnamed components may be many; names must be identifiers.
    new TComponent(&owner);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    EXPECT_THROW(second->SetName("1abc"), EComponentError);
    EXPECT_THROW(second->SetName("a b"), EComponentError);
    EXPECT_EQ(second->Name(), "Button1");

    // Names of different owners never clash.
    TComponent other(nullptr);
    (new TComponent(&other))->SetName("Button1");
}

TEST_F(ComponentTest, InsertAndRemoveComponentMoveOwnership)
{
    TComponent a(nullptr), b(nullptr);
    auto* c = new TComponent(&a);
    c->SetName("x");
    (new TComponent(&b))->SetName("X");

    EXPECT_THROW(b.InsertComponent(c), EComponentError);  // the name is taken there
    EXPECT_EQ(c->Owner(), &a);

    c->SetName("y");
    b.InsertComponent(c);
    EXPECT_EQ(c->Owner(), &b);
    EXPECT_EQ(a.ComponentCount(), 0);
    EXPECT_EQ(b.FindComponent("Y"), c);
    EXPECT_EQ(c->ComponentIndex(), 1);

    b.RemoveComponent(c);
    EXPECT_EQ(c->Owner(), nullptr);
    EXPECT_EQ(b.FindComponent("y"), nullptr);
    std::unique_ptr<TComponent> free(c);
    EXPECT_THROW(b.Components(5), EComponentError);
}

TEST_F(ComponentTest, FreeNotificationClearsReferencesEitherWay)
{
    auto form = std::make_unique<TComponent>(nullptr);
    auto* label = new TTestControl(form.get());
    auto* edit = new TTestControl(form.get());
    label->SetFocusControl(edit);

    delete edit;
    EXPECT_EQ(label->FocusControl(), nullptr);

    // The referring side going first leaves nothing behind in the target.
    auto* edit2 = new TTestControl(form.get());
    auto* label2 = new TTestControl(form.get());
    label2->SetFocusControl(edit2);
    delete label2;
    delete edit2;  // would touch label2 if the link had stayed (ASan)

    // After RemoveFreeNotification nothing is told.
    TWatcher watcher(nullptr);
    auto* target = new TComponent(form.get());
    watcher.FreeNotification(target);
    watcher.RemoveFreeNotification(target);
    delete target;
    EXPECT_TRUE(watcher.Seen.empty());
}

TEST_F(ComponentTest, NotificationMayFreeAnotherListener)
{
    auto target = std::make_unique<TComponent>(nullptr);
    auto* first = new TWatcher(nullptr);
    auto* second = new TWatcher(nullptr);
    first->FreeNotification(target.get());
    second->FreeNotification(target.get());
    first->FreeOnRemovalOf = target.get();
    first->Victim = second;

    target.reset();  // first is told first (order of asking) and frees second before it is told
    ASSERT_EQ(first->Seen.size(), 1u);
    EXPECT_EQ(first->Seen[0].second, opRemove);
    delete first;
}

TEST_F(ComponentTest, OwnerIsToldOfInsertAndRemove)
{
    TWatcher owner(nullptr);
    auto* child = new TComponent(&owner);
    delete child;
    ASSERT_EQ(owner.Seen.size(), 2u);
    EXPECT_EQ(owner.Seen[0], std::make_pair(child, opInsert));
    EXPECT_EQ(owner.Seen[1], std::make_pair(child, opRemove));
}

TEST_F(ComponentTest, GuardedReferenceTurnsNull)
{
    auto* component = new TTestControl(nullptr);
    TComponentRef<TTestControl> ref = component;
    TComponentRef<TTestControl> copy = ref;
    TComponentRef<TTestControl> other;
    other = copy;
    other.reset();
    EXPECT_EQ(ref->Name(), "");
    EXPECT_TRUE(copy);

    delete component;
    EXPECT_EQ(ref.get(), nullptr);
    EXPECT_EQ(copy.get(), nullptr);
    EXPECT_FALSE(ref);

    // A reference that dies first unlinks itself.
    auto* second = new TComponent(nullptr);
    {
        TComponentRef<TComponent> shortLived = second;
    }
    delete second;
}

TEST_F(ComponentTest, StateMarksDestroyingOwnedComponentsToo)
{
    {
        TComponent owner(nullptr);
        new TProbe(&owner);
    }
    EXPECT_TRUE(TProbe::sawDestroying);
}

TEST_F(ComponentTest, ClassNamesTypeTestsAndRegistry)
{
    RegisterTestClasses();
    TTestForm form(nullptr);
    EXPECT_EQ(form.ClassName(), "TTestForm");
    EXPECT_TRUE(form.InheritsFrom("ttestcontrol"));
    EXPECT_TRUE(form.InheritsFrom(TPersistent::StaticClass()));
    EXPECT_FALSE(form.InheritsFrom("TTestInstaller"));
    std::vector<AnsiString> chain;
    for (const TClassMeta* c = &form.ClassType(); c; c = c->ClassParent())
        chain.push_back(c->ClassName());
    EXPECT_EQ(chain, (std::vector<AnsiString>{"TTestForm", "TTestControl", "TComponent", "TPersistent"}));
    TComponent* asComponent = &form;
    EXPECT_NE(dynamic_cast<TTestControl*>(asComponent), nullptr);

    EXPECT_EQ(FindClass("TTESTFORM"), &TTestForm::StaticClass());
    EXPECT_EQ(FindClass("TNoSuchClass"), nullptr);
    TComponent owner(nullptr);
    TComponent* made = CreateComponent("ttestcontrol", &owner);
    EXPECT_EQ(made->Owner(), &owner);
    EXPECT_EQ(made->ClassName(), "TTestControl");
    EXPECT_THROW(CreateComponent("TNoSuchClass", &owner), EClassNotFound);

    // Classes without an owner constructor are known but cannot be made by name.
    EXPECT_FALSE(TTestFont::StaticClass().IsCreatable());
    EXPECT_TRUE(TTestPanel::StaticClass().IsItemCreatable());

    // Another class under a registered name is refused; the same class again is harmless.
    static const TClassMeta impostor("TTestForm", &TComponent::StaticClass(), nullptr, nullptr);
    EXPECT_THROW(RegisterClass(impostor), EClassNotFound);
    RegisterClass<TTestForm>();
    RegisterCoreClasses();
    EXPECT_EQ(FindClass("TComponent"), &TComponent::StaticClass());
}

TEST_F(ComponentTest, AssignBetweenUnrelatedClassesFails)
{
    TTestFont font;
    TTestPicture picture;
    try {
        font.Assign(&picture);
        FAIL();
    } catch (const rtl::EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TTestPicture to a TTestFont");
    }
    TTestFont other;
    other.Name = "Courier";
    font.Assign(&other);
    EXPECT_EQ(font.Name, "Courier");
}

TEST(CollectionTest, ItemsAddInsertDeleteAndKeepTheirIDs)
{
    TTestControl owner(nullptr);
    TCollection& panels = owner.Panels;
    auto* a = panels.AddAs<TTestPanel>();
    auto* b = panels.AddAs<TTestPanel>();
    auto* c = dynamic_cast<TTestPanel*>(panels.Insert(0));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(panels.Count(), 3);
    EXPECT_EQ(c->Index(), 0);
    EXPECT_EQ(a->Index(), 1);
    EXPECT_EQ(c->ID(), 2);
    EXPECT_EQ(panels.FindItemID(1), b);

    b->SetIndex(0);
    EXPECT_EQ(panels.Items(0), b);
    panels.Delete(1);  // c
    EXPECT_EQ(panels.Count(), 2);
    delete a;  // an item freed directly leaves its collection
    EXPECT_EQ(panels.Count(), 1);
    EXPECT_EQ(panels.Items(0), b);
    EXPECT_THROW(panels.Items(1), EComponentError);
    EXPECT_EQ(b->GetNamePath(), "Panels[0]");
    owner.SetName("bar");
    EXPECT_EQ(b->GetNamePath(), "bar.Panels[0]");
}

TEST(CollectionTest, UpdatesAreReportedOnceInsideBeginEndUpdate)
{
    TTestControl owner(nullptr);
    TTestPanels& panels = owner.Panels;
    panels.Add();
    EXPECT_EQ(panels.Updates, 1);

    panels.Updates = 0;
    panels.BeginUpdate();
    panels.Add();
    panels.Add();
    panels.Delete(0);
    panels.EndUpdate();
    EXPECT_EQ(panels.Updates, 1);
}

TEST(CollectionTest, AssignCopiesItemsByTheirProperties)
{
    TTestControl a(nullptr), b(nullptr);
    auto* panel = a.Panels.AddAs<TTestPanel>();
    panel->Width = 120;
    panel->Text = "Ready";
    panel->Alignment = alRight;
    b.Panels.Add();
    b.Panels.Add();

    b.Panels.Assign(&a.Panels);
    ASSERT_EQ(b.Panels.Count(), 1);
    auto* copy = b.Panels.ItemsAs<TTestPanel>(0);
    EXPECT_EQ(copy->Width, 120);
    EXPECT_EQ(copy->Text, "Ready");
    EXPECT_EQ(copy->Alignment, alRight);
    EXPECT_THROW(b.Panels.Assign(&a.Font), rtl::EConvertError);
}

}  // namespace
