#pragma once
// String lists and streams, with the behaviour programs written for the classic Windows component library
// rely on: 0-based indexes, case-insensitive look-ups by default, CR LF line ends, exceptions on misuse.
//
//   rtl::TStringList list;
//   list.SetText("one\r\ntwo\r\n");           // two lines
//   list.Add("key=value");
//   list.Values("key");                       // "value"
//   list.SaveToFile("C:\\temp\\list.txt");    // through rtl::FileSystem(), replacing the file in one step
//
//   rtl::TFileStream f("C:\\data.bin", rtl::fmOpenRead | rtl::fmShareDenyWrite);
//   f.ReadBuffer(&header, sizeof header);     // EReadError when the file is shorter

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/FileSystem.h"
#include "platform/rtl/SysUtils.h"

namespace rtl {

using TNotifyEvent = std::function<void(TObject* Sender)>;

// ---------------------------------------------------------------------------------------------------------
// Streams

class TStream : public TObject {
public:
    ~TStream() override = default;

    // Transfer up to `count` bytes; return the number transferred (0 at the end, never negative).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position();
    void SetPosition(int64_t position);
    virtual int64_t Size();
    virtual void SetSize(int64_t size) = 0;

    // Transfer exactly `count` bytes or raise EReadError / EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies `count` bytes from the current position of `source`; 0 copies all of `source` from its start.
    // Returns the number of bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

constexpr TSeekOrigin soBeginning = TSeekOrigin::Beginning;
constexpr TSeekOrigin soCurrent = TSeekOrigin::Current;
constexpr TSeekOrigin soEnd = TSeekOrigin::End;

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;

    // The bytes; valid until the next change of size.
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    void Clear();

    // Replace the contents by all of `stream` (or the file); position 0 afterwards.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const AnsiString& fileName);
    // Write all of the contents, whatever the position.
    void SaveToStream(TStream& stream);
    void SaveToFile(const AnsiString& fileName);

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};

// A stream over an AnsiString; writes replace bytes at the position and extend the string.
class TStringStream : public TStream {
public:
    explicit TStringStream(AnsiString data = AnsiString());

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;

    const AnsiString& DataString() const { return data_; }
    // Up to `count` bytes from the position.
    AnsiString ReadString(int64_t count);
    void WriteString(const AnsiString& text);

private:
    AnsiString data_;
    int64_t position_ = 0;
};

// File open modes: one access value or'ed with one share value; fmCreate creates (or empties) the file.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;  // treated as exclusive
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A file opened through rtl::FileSystem(). Open failures raise EFOpenError / EFCreateError naming the file.
class TFileStream : public TStream {
public:
    TFileStream(const AnsiString& fileName, uint16_t mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;

    const AnsiString& FileName() const { return fileName_; }

private:
    AnsiString fileName_;
    std::unique_ptr<IFileHandle> handle_;
};

// All bytes of a file, open with `share` while it is read; raises EFOpenError / EReadError.
AnsiString ReadWholeFile(const AnsiString& fileName, TFileShare share = TFileShare::DenyWrite);
// Writes `bytes` to a temporary file beside `fileName` and puts it in the file's place in one step
// (IFileSystem::ReplaceFile). Raises EFCreateError / EWriteError; then the old file is as it was and the
// temporary file is gone.
void WriteWholeFile(const AnsiString& fileName, const AnsiString& bytes);

// ---------------------------------------------------------------------------------------------------------
// String lists

enum TDuplicates { dupIgnore, dupAccept, dupError };

// The abstract list of strings, each with an associated object. Descendants store the strings (a
// TStringList, or a control's items); everything else is built on the few virtual primitives.
class TStrings : public TObject {
public:
    TStrings() = default;
    ~TStrings() override = default;
    TStrings(const TStrings&) = delete;
    TStrings& operator=(const TStrings&) = delete;

    // Primitives every descendant provides.
    virtual int Count() const = 0;
    virtual void Clear() = 0;
    virtual void Delete(int index) = 0;
    virtual void Insert(int index, const AnsiString& s) = 0;

    // Element access; an index outside 0..Count()-1 raises EStringListError "List index out of bounds (%d)".
    AnsiString Strings(int index) const { return Get(index); }
    void SetStrings(int index, const AnsiString& s) { Put(index, s); }
    AnsiString operator[](int index) const { return Get(index); }
    TObject* Objects(int index) const { return GetObject(index); }
    void SetObjects(int index, TObject* object) { PutObject(index, object); }

    virtual int Add(const AnsiString& s);
    virtual int AddObject(const AnsiString& s, TObject* object);
    virtual void InsertObject(int index, const AnsiString& s, TObject* object);
    void Append(const AnsiString& s) { Add(s); }
    virtual void AddStrings(const TStrings& strings);
    // Replaces the contents (strings and objects) by those of `source`.
    virtual void Assign(const TStrings& source);
    // Same strings in the same order (objects are not compared).
    bool Equals(const TStrings& other) const;

    virtual int IndexOf(const AnsiString& s) const;
    int IndexOfObject(const TObject* object) const;
    int IndexOfName(const AnsiString& name) const;
    virtual void Exchange(int index1, int index2);
    virtual void Move(int curIndex, int newIndex);

    // Every line followed by CR LF; setting splits at CR LF, lone CR or lone LF.
    virtual AnsiString Text() const;
    virtual void SetText(const AnsiString& text);
    // Items separated by commas; an item with blanks, commas or quotes is double-quoted (quotes doubled).
    AnsiString CommaText() const;
    void SetCommaText(const AnsiString& text);
    // The same with Delimiter and QuoteChar.
    AnsiString DelimitedText() const;
    void SetDelimitedText(const AnsiString& text);
    char Delimiter = ',';
    char QuoteChar = '"';
    char NameValueSeparator = '=';

    // "name=value" lines.
    AnsiString Names(int index) const;
    AnsiString ValueFromIndex(int index) const;
    AnsiString Values(const AnsiString& name) const;
    // Setting an empty value removes the line; a new name is appended.
    void SetValues(const AnsiString& name, const AnsiString& value);

    // Changes between BeginUpdate and the matching EndUpdate notify once, at the end.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const AnsiString& fileName);
    // Writes a temporary file beside the target and replaces the target with it, so a failed save leaves
    // the old file whole.
    void SaveToFile(const AnsiString& fileName) const;

    // Case sensitivity of IndexOf, Find, Sort, IndexOfName and Values (default: ignore case).
    bool CaseSensitive() const { return caseSensitive_; }
    virtual void SetCaseSensitive(bool value) { caseSensitive_ = value; }

protected:
    virtual AnsiString Get(int index) const = 0;
    virtual void Put(int index, const AnsiString& s);
    virtual TObject* GetObject(int index) const;
    virtual void PutObject(int index, TObject* object);
    // Called when the update count goes from 0 to 1 (true) and back to 0 (false).
    virtual void SetUpdateState(bool updating);
    // Replaces the contents by `lines` (SetText, SetCommaText); a list may do it faster than one by one.
    virtual void SetStringsBulk(std::vector<AnsiString>&& lines);
    int CompareStrings(const AnsiString& a, const AnsiString& b) const;
    [[noreturn]] static void Error(int index);

private:
    int updateCount_ = 0;
    bool caseSensitive_ = false;
};

class TStringList;
// Negative when the string at index1 goes before the one at index2, 0 when equal, positive otherwise.
using TStringListSortCompare = std::function<int(TStringList* list, int index1, int index2)>;

class TStringList : public TStrings {
public:
    TStringList() = default;
    ~TStringList() override;

    int Count() const override { return static_cast<int>(items_.size()); }
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const AnsiString& s) override;
    void InsertObject(int index, const AnsiString& s, TObject* object) override;
    int Add(const AnsiString& s) override;
    int AddObject(const AnsiString& s, TObject* object) override;
    void Assign(const TStrings& source) override;
    void AddStrings(const TStrings& strings) override;

    // On a sorted list a binary search; otherwise a linear one.
    int IndexOf(const AnsiString& s) const override;
    void Exchange(int index1, int index2) override;
    void Move(int curIndex, int newIndex) override;
    void SetText(const AnsiString& text) override;
    void SetCaseSensitive(bool value) override;

    // Binary search of a sorted list: true when found; `index` is the match or the insertion point.
    bool Find(const AnsiString& s, int& index) const;
    virtual void Sort();
    virtual void CustomSort(const TStringListSortCompare& compare);

    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    // How Add treats an existing string in a sorted list.
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates value) { duplicates_ = value; }
    // When set, the list deletes its objects as their lines go.
    bool OwnsObjects() const { return ownsObjects_; }
    void SetOwnsObjects(bool value) { ownsObjects_ = value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    AnsiString Get(int index) const override;
    void Put(int index, const AnsiString& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void SetUpdateState(bool updating) override;
    void SetStringsBulk(std::vector<AnsiString>&& lines) override;
    virtual void Changed();
    virtual void Changing();

private:
    struct Item {
        AnsiString string;
        TObject* object = nullptr;
    };
    void CheckIndex(int index) const;
    void InsertItem(int index, const AnsiString& s, TObject* object);
    void FreeObject(TObject* object) const;
    void SortItems();
    // Appends many items at once: a sorted list sorts them in one step instead of inserting one by one.
    void AddItems(std::vector<Item>&& items);
    // `items` in list order with duplicates (among themselves and against `existing`, which is sorted)
    // treated as Add would; raises for dupError before anything changes.
    std::vector<Item> PrepareSorted(std::vector<Item>&& items, const std::vector<Item>& existing) const;

    std::vector<Item> items_;
    bool sorted_ = false;
    TDuplicates duplicates_ = dupIgnore;
    bool ownsObjects_ = false;
};

}  // namespace rtl
