#pragma once
// Form resources: the text that describes a form's component tree, its reader (which fills an existing
// root component), its writer, and the table of resources embedded into the program.
//
//   object frmMainMenu: TfrmMainMenu
//     Caption = 'Windows Scrivane'        // strings: '' for a quote, #233 character codes, + joins
//     Font.Style = [fsBold]                // sets; dotted names reach nested objects
//     OnCreate = FormCreate                // a handler the root's class registered
//     object lstPages: TListBox
//       Items.Strings = ('one' 'two')
//       PopupMenu = mnuPages               // references may point forward
//     end
//   end
//
// A form's constructor reads its own resource:
//
//   TfrmMainMenu::TfrmMainMenu(TComponent* owner) : TForm(owner)
//   {
//       RegisterFormResources_tool();                       // generated header, see cmake/EmbedResources.cmake
//       vcl::ReadComponentResource(this, "MainUnit.frm");   // or by class name: "TfrmMainMenu"
//   }
//
// Read from the most-derived constructor (or after construction): inside a base class's constructor the
// object is still that base class for C++, so its ClassType() and handlers are the base's. Constructors
// of the resource's components can tell a load from Owner()->IsLoading() (the root is marked first).
//
// Reading goes in phases: the whole text is parsed first; then every object is created in order (its
// constructor runs first; the root is the existing component), named, given its owner (the root) and
// its parent component (SetParentComponent), and marked csLoading; then properties are set through their
// setters; then events are bound to the root's registered handlers; then component references are
// resolved by name in the root (forward ones, and ones to components that constructors made); then
// Loaded() runs on every component in creation order, root first. Classes are looked up in the class
// registry (vcl::RegisterCoreClasses() is called on first use; other libraries register theirs before).
//
// Any fault of the resource raises EFormResourceError "Name.frm:line:column: path (TClass): what"; the
// components made so far are freed and the root's csLoading is cleared. Exceptions raised by the
// components themselves (constructors, setters, Loaded) pass unchanged, after the same clean-up.

#include <string_view>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Classes.h"

namespace vcl {

class EFormResourceError : public rtl::Exception {
public:
    using Exception::Exception;
};

// Fills `root` from the resource text; `resourceName` ("MainUnit.frm") only serves the messages. The
// resource's root class must be the root's class or one of its ancestors; the root takes the resource's
// name unless its owner already holds that name (then "name_1", "name_2", ...).
void ReadRootComponent(TComponent* root, std::string_view text, const AnsiString& resourceName);
// The same with an embedded resource, found by FindFormResource; a missing one raises EFormResourceError.
void ReadComponentResource(TComponent* root, const AnsiString& resourceName);
// Creates the root from the resource's class (registered and creatable) and reads it; `owner` owns it.
TComponent* CreateComponentFromResource(std::string_view text, const AnsiString& resourceName, TComponent* owner);

// The resource text of `root` and everything it owns: properties that differ from their defaults (or are
// always stored) in registration order, events bound by name, then the owned components, each nested
// under its parent component. Strings are written in quotes with printable ASCII only: control
// characters and bytes from 128 as #nn. Reading the text back gives the same values.
AnsiString WriteComponentResource(const TComponent& root);

// The table of embedded resources. The generated registration function of each target calls
// RegisterFormResource; FindFormResource takes the file name ("MainUnit.frm") or the class of the
// resource's root object ("TfrmMainMenu"), both without regard to case, and gives nullptr when missing.
// Registering the same name again with the same text is harmless; with another text it raises
// EFormResourceError.
void RegisterFormResource(const AnsiString& name, std::string_view text);
const AnsiString* FindFormResource(std::string_view nameOrClass);
// The name under which a resource was registered (for messages), given what FindFormResource accepts.
AnsiString FormResourceName(std::string_view nameOrClass);

}  // namespace vcl
