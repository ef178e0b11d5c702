#include <gtest/gtest.h>

#include "platform/rtl/Classes.h"
#include "tests/platform/rtl/TestFileSystem.h"

using namespace rtl;

namespace {

std::vector<AnsiString> Lines(const TStrings& list)
{
    std::vector<AnsiString> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

using V = std::vector<AnsiString>;

// Counts its own destructions, to see who frees list objects.
struct Tracked : TObject {
    explicit Tracked(int& deaths) : deaths_(deaths) {}
    ~Tracked() override { ++deaths_; }
    int& deaths_;
};

}  // namespace

TEST(StringListText, SplitsAtEveryKindOfLineEnd)
{
    TStringList list;
    list.SetText("a\r\nb\rc\nd");
    EXPECT_EQ(Lines(list), (V{"a", "b", "c", "d"}));
    list.SetText("a\r\n");
    EXPECT_EQ(Lines(list), (V{"a"})) << "a final line end makes no empty line";
    list.SetText("a\r\n\r\n");
    EXPECT_EQ(Lines(list), (V{"a", ""}));
    list.SetText("\n\r");
    EXPECT_EQ(Lines(list), (V{"", ""})) << "LF then CR is two line ends";
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
    list.SetText("x\r\ny");
    EXPECT_EQ(list.Text(), "x\r\ny\r\n");
    list.SetText(AnsiString("\x93q\0z\xFF", 5));
    EXPECT_EQ(list[0], AnsiString("\x93q\0z\xFF", 5)) << "bytes are kept exactly";
}

TEST(StringListAccess, IndexesAreCheckedAndObjectsKept)
{
    TStringList list;
    int deaths = 0;
    Tracked object(deaths);
    list.Add("one");
    list.AddObject("two", &object);
    list.Insert(0, "zero");
    EXPECT_EQ(Lines(list), (V{"zero", "one", "two"}));
    EXPECT_EQ(list.Objects(2), &object);
    EXPECT_EQ(list.IndexOfObject(&object), 2);
    list.SetStrings(1, "uno");
    EXPECT_EQ(list.Strings(1), "uno");
    try {
        list.Strings(3);
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (3)");
    }
    EXPECT_THROW(list.Strings(-1), EStringListError);
    EXPECT_THROW(list.Delete(3), EStringListError);
    EXPECT_THROW(list.Insert(4, "x"), EStringListError);
    EXPECT_THROW(list.SetObjects(-1, nullptr), EListError);
    list.Exchange(0, 2);
    EXPECT_EQ(Lines(list), (V{"two", "uno", "zero"}));
    EXPECT_EQ(list.Objects(0), &object);
    list.Move(0, 2);
    EXPECT_EQ(Lines(list), (V{"uno", "zero", "two"}));
    EXPECT_EQ(list.Objects(2), &object) << "the object moves with its string";
    list.Delete(2);
    list.Clear();
    EXPECT_EQ(deaths, 0) << "the list does not own its objects by default";
}

TEST(StringListAccess, OwnsObjectsFreesThemAsTheirLinesGo)
{
    int deaths = 0;
    {
        TStringList list;
        list.SetOwnsObjects(true);
        list.AddObject("a", new Tracked(deaths));
        list.AddObject("b", new Tracked(deaths));
        list.AddObject("c", new Tracked(deaths));
        list.Move(0, 2);
        EXPECT_EQ(deaths, 0) << "moving is not deleting";
        list.Delete(0);
        EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 3);
}

TEST(StringListLookUp, IndexOfIgnoresCaseUnlessCaseSensitive)
{
    TStringList list;
    list.SetText("Alpha\r\nbeta\r\n\xC9t\xE9\r\n");
    EXPECT_EQ(list.IndexOf("ALPHA"), 0);
    EXPECT_EQ(list.IndexOf("Beta"), 1);
    EXPECT_EQ(list.IndexOf("\xE9T\xC9"), 2);
    EXPECT_EQ(list.IndexOf("gamma"), -1);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("ALPHA"), -1);
    EXPECT_EQ(list.IndexOf("Alpha"), 0);
}

TEST(StringListLookUp, NamesAndValues)
{
    TStringList list;
    list.SetText("Path=C:\\x=y\r\nnovalue\r\nEmpty=\r\n");
    EXPECT_EQ(list.Names(0), "Path");
    EXPECT_EQ(list.ValueFromIndex(0), "C:\\x=y") << "only the first '=' separates";
    EXPECT_EQ(list.Names(1), "");
    EXPECT_EQ(list.Values("PATH"), "C:\\x=y");
    EXPECT_EQ(list.Values("missing"), "");
    EXPECT_EQ(list.IndexOfName("empty"), 2);
    list.SetValues("Path", "D:\\");
    list.SetValues("New", "1");
    list.SetValues("Empty", "");
    EXPECT_EQ(Lines(list), (V{"Path=D:\\", "novalue", "New=1"}));
}

TEST(SortedStringList, InsertionKeepsOrderAndDuplicatesFollowTheSetting)
{
    TStringList list;
    list.SetSorted(true);
    EXPECT_EQ(list.Add("pear"), 0);
    EXPECT_EQ(list.Add("Apple"), 0);
    EXPECT_EQ(list.Add("banana"), 1);
    EXPECT_EQ(Lines(list), (V{"Apple", "banana", "pear"}));
    EXPECT_EQ(list.Add("APPLE"), 0) << "dupIgnore answers the existing index";
    EXPECT_EQ(list.Count(), 3);
    int index = -1;
    EXPECT_TRUE(list.Find("BANANA", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find("cherry", index));
    EXPECT_EQ(index, 2) << "the insertion point";
    EXPECT_THROW(list.Insert(0, "x"), EStringListError);
    EXPECT_THROW(list.SetStrings(0, "x"), EStringListError);

    list.SetDuplicates(dupError);
    EXPECT_THROW(list.Add("pear"), EStringListError);
    list.SetDuplicates(dupAccept);
    list.Add("Pear");
    EXPECT_EQ(Lines(list), (V{"Apple", "banana", "Pear", "pear"})) << "a duplicate goes before its equals";
}

TEST(SortedStringList, BulkLoadingMatchesAddingOneByOne)
{
    const AnsiString text = "d\r\nB\r\na\r\nb\r\nc\r\nA\r\nb\r\n";
    for (TDuplicates duplicates : {dupIgnore, dupAccept}) {
        TStringList one;
        one.SetSorted(true);
        one.SetDuplicates(duplicates);
        TStringList source;
        source.SetText(text);
        for (int i = 0; i < source.Count(); ++i)
            one.Add(source[i]);
        TStringList bulk;
        bulk.SetSorted(true);
        bulk.SetDuplicates(duplicates);
        bulk.SetText(text);
        EXPECT_EQ(Lines(bulk), Lines(one)) << "duplicates " << duplicates;
        TStringList added;
        added.SetSorted(true);
        added.SetDuplicates(duplicates);
        added.Add("b");
        added.AddStrings(source);
        TStringList reference;
        reference.SetSorted(true);
        reference.SetDuplicates(duplicates);
        reference.Add("b");
        for (int i = 0; i < source.Count(); ++i)
            reference.Add(source[i]);
        EXPECT_EQ(Lines(added), Lines(reference));
    }
    TStringList strict;
    strict.SetSorted(true);
    strict.SetDuplicates(dupError);
    strict.SetText("keep\r\n");
    EXPECT_THROW(strict.SetText("x\r\nX\r\n"), EStringListError);
    EXPECT_EQ(Lines(strict), (V{"keep"})) << "a refused load loses nothing";
}

TEST(StringListSorting, SortAndCustomSort)
{
    TStringList list;
    list.SetText("b\r\nC\r\na\r\n");
    list.Sort();
    EXPECT_EQ(Lines(list), (V{"a", "b", "C"}));
    list.SetCaseSensitive(true);
    list.Sort();
    EXPECT_EQ(Lines(list), (V{"C", "a", "b"}));
    // By length, longest first; the comparison sees indexes into the list being sorted.
    list.SetText("aa\r\na\r\naaaa\r\naaa\r\n");
    list.CustomSort([](TStringList* l, int i, int j) {
        return static_cast<int>(l->Strings(j).size()) - static_cast<int>(l->Strings(i).size());
    });
    EXPECT_EQ(Lines(list), (V{"aaaa", "aaa", "aa", "a"}));
    list.SetSorted(true);
    EXPECT_EQ(Lines(list), (V{"a", "aa", "aaa", "aaaa"})) << "sorting on becoming sorted";
}

TEST(StringListText, CommaTextQuotesWhatNeedsIt)
{
    TStringList list;
    list.SetText("plain\r\nwith blank\r\nsay \"hi\"\r\na,b\r\n\r\n");
    EXPECT_EQ(list.CommaText(), "plain,\"with blank\",\"say \"\"hi\"\"\",\"a,b\",");
    TStringList back;
    back.SetCommaText(list.CommaText());
    EXPECT_EQ(Lines(back), Lines(list));
    back.SetCommaText("a b, c ,\"d\"");
    EXPECT_EQ(Lines(back), (V{"a", "b", "c", "d"})) << "blanks separate unquoted items";
    back.SetCommaText("\"unterminated");
    EXPECT_EQ(Lines(back), (V{"unterminated"}));
    back.SetText("\r\n");
    EXPECT_EQ(back.CommaText(), "\"\"");
    back.SetCommaText("");
    EXPECT_EQ(back.Count(), 0);
}

TEST(StringListEvents, ChangesNotifyOnceInsideAnUpdate)
{
    TStringList list;
    int changes = 0;
    int changing = 0;
    list.OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, &list);
        ++changes;
    };
    list.OnChanging = [&](TObject*) { ++changing; };
    list.Add("a");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(changing, 1);
    list.BeginUpdate();
    list.Add("b");
    list.BeginUpdate();
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(changes, 1);
    list.EndUpdate();
    EXPECT_EQ(changes, 2);
    list.SetText("x\r\ny\r\n");
    EXPECT_EQ(changes, 3) << "a whole text is one change";
    list.EndUpdate();  // unbalanced: ignored
    list.Add("z");
    EXPECT_EQ(changes, 4);
}

TEST(StringListCopies, AssignAddStringsAndEquals)
{
    int deaths = 0;
    Tracked object(deaths);
    TStringList a;
    a.AddObject("x", &object);
    a.Add("y");
    TStringList b;
    b.Add("old");
    b.Assign(a);
    EXPECT_EQ(Lines(b), (V{"x", "y"}));
    EXPECT_EQ(b.Objects(0), &object);
    EXPECT_TRUE(b.Equals(a));
    b.AddStrings(b);
    EXPECT_EQ(Lines(b), (V{"x", "y", "x", "y"})) << "adding a list to itself";
    EXPECT_FALSE(b.Equals(a));
    b.Assign(b);
    EXPECT_EQ(b.Count(), 4);
    TStringList upper;
    upper.SetText("X\r\nY\r\n");
    EXPECT_FALSE(upper.Equals(a)) << "Equals compares exactly";
}

class StringListFiles : public ::testing::Test {
protected:
    rtltest::FileSystemFixture fixture;
};

TEST_F(StringListFiles, SaveAndLoadKeepTheBytesAndReplaceTheFileWhole)
{
    fixture.fs.MakeDirectory("C:\\data");
    TStringList list;
    list.SetText("\xE9t\xE9\r\nline two");
    list.SaveToFile("C:\\data\\list.txt");
    EXPECT_EQ(fixture.fs.ReadHostFile("C:\\data\\list.txt"), "\xE9t\xE9\r\nline two\r\n");
    TStringList loaded;
    loaded.LoadFromFile("C:\\data\\list.txt");
    EXPECT_TRUE(loaded.Equals(list));

    fixture.fs.SetFreeSpace(5);
    list.Add("more text than fits");
    EXPECT_THROW(list.SaveToFile("C:\\data\\list.txt"), EWriteError);
    EXPECT_EQ(fixture.fs.ReadHostFile("C:\\data\\list.txt"), "\xE9t\xE9\r\nline two\r\n");
    EXPECT_EQ(fixture.fs.FilesIn("C:\\data"), (std::set<std::string>{"list.txt"})) << "no temporary left";

    fixture.fs.SetFreeSpace(-1);
    fixture.fs.SetFailReplace(true);
    EXPECT_THROW(list.SaveToFile("C:\\data\\list.txt"), EFCreateError);
    EXPECT_EQ(fixture.fs.FilesIn("C:\\data"), (std::set<std::string>{"list.txt"}));

    try {
        loaded.LoadFromFile("C:\\data\\missing.txt");
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(),
                  "Cannot open file \"C:\\data\\missing.txt\". The system cannot find the file specified.");
    }
    EXPECT_EQ(loaded.Count(), 2) << "a failed load keeps the list";
}
