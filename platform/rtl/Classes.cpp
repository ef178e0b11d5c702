// TStrings and TStringList.
#include "platform/rtl/Classes.h"

#include <algorithm>
#include <utility>

namespace rtl {

namespace {

const char* const SortedListError = "Operation not allowed on sorted list";
const char* const DuplicateString = "String list does not allow duplicates";

// Runs `body` between BeginUpdate and EndUpdate, ending the update also when `body` throws.
template <typename Body>
void WithUpdate(TStrings& strings, Body body)
{
    strings.BeginUpdate();
    try {
        body();
    } catch (...) {
        strings.EndUpdate();
        throw;
    }
    strings.EndUpdate();
}

// Lines end at CR LF, a lone CR or a lone LF; a final line end adds no empty line.
std::vector<AnsiString> SplitLines(const AnsiString& text)
{
    std::vector<AnsiString> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text, start, i - start);
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text, start, AnsiString::npos);
    return lines;
}

bool NeedsQuotes(const AnsiString& s, char delimiter, char quote)
{
    return std::any_of(s.begin(), s.end(), [&](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == quote || c == delimiter;
    });
}

AnsiString JoinDelimited(const TStrings& strings, char delimiter, char quote)
{
    int count = strings.Count();
    if (count == 1 && strings.Strings(0).empty())
        return AnsiString(2, quote);
    AnsiString result;
    for (int i = 0; i < count; ++i) {
        AnsiString s = strings.Strings(i);
        if (i > 0)
            result.push_back(delimiter);
        result += NeedsQuotes(s, delimiter, quote) ? AnsiQuotedStr(s, quote) : s;
    }
    return result;
}

// The reverse of JoinDelimited: items are separated by the delimiter or by blanks; a quoted item may hold
// both, with the quote doubled inside; a delimiter at the very end adds an empty item.
std::vector<AnsiString> SplitDelimited(const AnsiString& text, char delimiter, char quote)
{
    std::vector<AnsiString> items;
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    size_t p = 0;
    const size_t n = text.size();
    while (p < n && blank(text[p]))
        ++p;
    while (p < n) {
        AnsiString item;
        if (text[p] == quote) {
            ++p;
            while (p < n) {
                if (text[p] == quote) {
                    if (p + 1 < n && text[p + 1] == quote) {
                        item.push_back(quote);
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.push_back(text[p++]);
            }
        } else {
            size_t start = p;
            while (p < n && !blank(text[p]) && text[p] != delimiter)
                ++p;
            item.assign(text, start, p - start);
        }
        items.push_back(std::move(item));
        while (p < n && blank(text[p]))
            ++p;
        if (p < n && text[p] == delimiter) {
            if (p + 1 == n)
                items.emplace_back();
            do
                ++p;
            while (p < n && blank(text[p]));
        }
    }
    return items;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TStrings

void TStrings::Error(int index) { throw EStringListError("List index out of bounds (" + IntToStr(index) + ")"); }

int TStrings::CompareStrings(const AnsiString& a, const AnsiString& b) const
{
    return caseSensitive_ ? CompareStr(a, b) : AnsiCompareText(a, b);
}

void TStrings::Put(int index, const AnsiString& s)
{
    WithUpdate(*this, [&] {
        TObject* object = GetObject(index);
        Delete(index);
        InsertObject(index, s, object);
    });
}

TObject* TStrings::GetObject(int index) const
{
    if (index < 0 || index >= Count())
        Error(index);
    return nullptr;
}

void TStrings::PutObject(int, TObject*) {}

void TStrings::SetUpdateState(bool) {}

int TStrings::Add(const AnsiString& s)
{
    int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const AnsiString& s, TObject* object)
{
    int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::InsertObject(int index, const AnsiString& s, TObject* object)
{
    Insert(index, s);
    PutObject(index, object);
}

void TStrings::AddStrings(const TStrings& strings)
{
    WithUpdate(*this, [&] {
        int count = strings.Count();
        for (int i = 0; i < count; ++i)
            AddObject(strings.Strings(i), strings.Objects(i));
    });
}

void TStrings::Assign(const TStrings& source)
{
    if (&source == this)
        return;
    WithUpdate(*this, [&] {
        Clear();
        Delimiter = source.Delimiter;
        QuoteChar = source.QuoteChar;
        NameValueSeparator = source.NameValueSeparator;
        AddStrings(source);
    });
}

bool TStrings::Equals(const TStrings& other) const
{
    int count = Count();
    if (count != other.Count())
        return false;
    for (int i = 0; i < count; ++i)
        if (Get(i) != other.Get(i))
            return false;
    return true;
}

int TStrings::IndexOf(const AnsiString& s) const
{
    int count = Count();
    for (int i = 0; i < count; ++i)
        if (CompareStrings(Get(i), s) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfObject(const TObject* object) const
{
    int count = Count();
    for (int i = 0; i < count; ++i)
        if (GetObject(i) == object)
            return i;
    return -1;
}

int TStrings::IndexOfName(const AnsiString& name) const
{
    int count = Count();
    for (int i = 0; i < count; ++i) {
        AnsiString s = Get(i);
        size_t separator = s.find(NameValueSeparator);
        if (separator != AnsiString::npos && CompareStrings(s.substr(0, separator), name) == 0)
            return i;
    }
    return -1;
}

void TStrings::Exchange(int index1, int index2)
{
    WithUpdate(*this, [&] {
        AnsiString s = Get(index1);
        TObject* object = GetObject(index1);
        Put(index1, Get(index2));
        PutObject(index1, GetObject(index2));
        Put(index2, s);
        PutObject(index2, object);
    });
}

void TStrings::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    WithUpdate(*this, [&] {
        AnsiString s = Get(curIndex);
        TObject* object = GetObject(curIndex);
        Delete(curIndex);
        InsertObject(newIndex, s, object);
    });
}

AnsiString TStrings::Text() const
{
    int count = Count();
    AnsiString result;
    for (int i = 0; i < count; ++i) {
        result += Get(i);
        result += "\r\n";
    }
    return result;
}

void TStrings::SetText(const AnsiString& text) { SetStringsBulk(SplitLines(text)); }

void TStrings::SetStringsBulk(std::vector<AnsiString>&& lines)
{
    WithUpdate(*this, [&] {
        Clear();
        for (auto& line : lines)
            Add(line);
    });
}

AnsiString TStrings::CommaText() const { return JoinDelimited(*this, ',', '"'); }

void TStrings::SetCommaText(const AnsiString& text) { SetStringsBulk(SplitDelimited(text, ',', '"')); }

AnsiString TStrings::DelimitedText() const { return JoinDelimited(*this, Delimiter, QuoteChar); }

void TStrings::SetDelimitedText(const AnsiString& text)
{
    SetStringsBulk(SplitDelimited(text, Delimiter, QuoteChar));
}

AnsiString TStrings::Names(int index) const
{
    AnsiString s = Get(index);
    size_t separator = s.find(NameValueSeparator);
    return separator == AnsiString::npos ? AnsiString() : s.substr(0, separator);
}

AnsiString TStrings::ValueFromIndex(int index) const
{
    AnsiString s = Get(index);
    size_t separator = s.find(NameValueSeparator);
    return separator == AnsiString::npos ? AnsiString() : s.substr(separator + 1);
}

AnsiString TStrings::Values(const AnsiString& name) const
{
    int index = IndexOfName(name);
    return index < 0 ? AnsiString() : ValueFromIndex(index);
}

void TStrings::SetValues(const AnsiString& name, const AnsiString& value)
{
    int index = IndexOfName(name);
    if (!value.empty()) {
        AnsiString line = name + NameValueSeparator + value;
        if (index < 0)
            Add(line);
        else
            Put(index, line);
    } else if (index >= 0) {
        Delete(index);
    }
}

void TStrings::BeginUpdate()
{
    if (updateCount_ == 0)
        SetUpdateState(true);
    ++updateCount_;
}

void TStrings::EndUpdate()
{
    if (updateCount_ == 0)
        return;
    if (--updateCount_ == 0)
        SetUpdateState(false);
}

void TStrings::LoadFromStream(TStream& stream)
{
    AnsiString bytes;
    char buffer[16 * 1024];
    for (;;) {
        int64_t n = stream.Read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    SetText(bytes);
}

void TStrings::SaveToStream(TStream& stream) const
{
    AnsiString text = Text();
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStrings::LoadFromFile(const AnsiString& fileName) { SetText(ReadWholeFile(fileName)); }

void TStrings::SaveToFile(const AnsiString& fileName) const { WriteWholeFile(fileName, Text()); }

// ---------------------------------------------------------------------------------------------------------
// TStringList

TStringList::~TStringList()
{
    OnChange = nullptr;
    OnChanging = nullptr;
    if (ownsObjects_)
        for (Item& item : items_)
            FreeObject(item.object);
}

void TStringList::FreeObject(TObject* object) const
{
    if (ownsObjects_)
        delete object;
}

void TStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        Error(index);
}

void TStringList::Changed()
{
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

void TStringList::SetUpdateState(bool updating)
{
    if (updating)
        Changing();
    else
        Changed();
}

AnsiString TStringList::Get(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].string;
}

void TStringList::Put(int index, const AnsiString& s)
{
    if (sorted_)
        throw EStringListError(SortedListError);
    CheckIndex(index);
    Changing();
    items_[static_cast<size_t>(index)].string = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const
{
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, TObject* object)
{
    CheckIndex(index);
    Changing();
    items_[static_cast<size_t>(index)].object = object;
    Changed();
}

void TStringList::Clear()
{
    if (items_.empty())
        return;
    Changing();
    std::vector<Item> old;
    old.swap(items_);
    for (Item& item : old)
        FreeObject(item.object);
    Changed();
}

void TStringList::Delete(int index)
{
    CheckIndex(index);
    Changing();
    TObject* object = items_[static_cast<size_t>(index)].object;
    items_.erase(items_.begin() + index);
    FreeObject(object);
    Changed();
}

void TStringList::Insert(int index, const AnsiString& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const AnsiString& s, TObject* object)
{
    if (sorted_)
        throw EStringListError(SortedListError);
    if (index < 0 || index > Count())
        Error(index);
    InsertItem(index, s, object);
}

void TStringList::InsertItem(int index, const AnsiString& s, TObject* object)
{
    Changing();
    items_.insert(items_.begin() + index, Item{s, object});
    Changed();
}

int TStringList::Add(const AnsiString& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const AnsiString& s, TObject* object)
{
    int index = Count();
    if (sorted_ && Find(s, index)) {
        if (duplicates_ == dupIgnore)
            return index;
        if (duplicates_ == dupError)
            throw EStringListError(DuplicateString);
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Assign(const TStrings& source) { TStrings::Assign(source); }

void TStringList::AddStrings(const TStrings& strings)
{
    std::vector<Item> items;
    int count = strings.Count();
    items.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        items.push_back(Item{strings.Strings(i), strings.Objects(i)});
    AddItems(std::move(items));
}

std::vector<TStringList::Item> TStringList::PrepareSorted(std::vector<Item>&& items,
                                                          const std::vector<Item>& existing) const
{
    auto less = [this](const Item& a, const Item& b) { return CompareStrings(a.string, b.string) < 0; };
    std::stable_sort(items.begin(), items.end(), less);
    std::vector<Item> result;
    result.reserve(items.size());
    size_t i = 0;
    while (i < items.size()) {
        size_t end = i + 1;
        while (end < items.size() && !less(items[i], items[end]))
            ++end;
        if (duplicates_ == dupAccept) {
            // One Add after another puts each equal string before the ones already there.
            for (size_t k = end; k > i; --k)
                result.push_back(std::move(items[k - 1]));
        } else {
            bool present = std::binary_search(existing.begin(), existing.end(), items[i], less);
            if (duplicates_ == dupError && (present || end - i > 1))
                throw EStringListError(DuplicateString);
            if (!present)
                result.push_back(std::move(items[i]));
        }
        i = end;
    }
    return result;
}

void TStringList::AddItems(std::vector<Item>&& items)
{
    if (items.empty())
        return;
    if (!sorted_) {
        Changing();
        items_.insert(items_.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
        Changed();
        return;
    }
    std::vector<Item> added = PrepareSorted(std::move(items), items_);
    auto less = [this](const Item& a, const Item& b) { return CompareStrings(a.string, b.string) < 0; };
    std::vector<Item> merged;
    merged.reserve(items_.size() + added.size());
    // New strings first among equals, as Add places them.
    std::merge(std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()),
               std::make_move_iterator(items_.begin()), std::make_move_iterator(items_.end()),
               std::back_inserter(merged), less);
    Changing();
    items_ = std::move(merged);
    Changed();
}

void TStringList::SetStringsBulk(std::vector<AnsiString>&& lines)
{
    std::vector<Item> items;
    items.reserve(lines.size());
    for (auto& line : lines)
        items.push_back(Item{std::move(line), nullptr});
    // Check the duplicates before the old contents go.
    if (sorted_)
        items = PrepareSorted(std::move(items), {});
    WithUpdate(*this, [&] {
        Clear();
        Changing();
        items_ = std::move(items);
        Changed();
    });
}

int TStringList::IndexOf(const AnsiString& s) const
{
    if (!sorted_)
        return TStrings::IndexOf(s);
    int index = 0;
    return Find(s, index) ? index : -1;
}

bool TStringList::Find(const AnsiString& s, int& index) const
{
    bool found = false;
    int low = 0;
    int high = Count() - 1;
    while (low <= high) {
        int middle = low + (high - low) / 2;
        int c = CompareStrings(items_[static_cast<size_t>(middle)].string, s);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                // With duplicates the first equal string is the place; otherwise any equal one will do.
                if (duplicates_ != dupAccept)
                    low = middle;
            }
        }
    }
    index = low;
    return found;
}

void TStringList::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
    Changed();
}

void TStringList::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    if (sorted_)
        throw EStringListError(SortedListError);
    Changing();
    Item item = std::move(items_[static_cast<size_t>(curIndex)]);
    items_.erase(items_.begin() + curIndex);
    items_.insert(items_.begin() + newIndex, std::move(item));
    Changed();
}

void TStringList::SetText(const AnsiString& text) { TStrings::SetText(text); }

void TStringList::SetCaseSensitive(bool value)
{
    if (value == CaseSensitive())
        return;
    TStrings::SetCaseSensitive(value);
    if (sorted_) {
        sorted_ = false;
        Sort();
        sorted_ = true;
    }
}

void TStringList::SortItems()
{
    Changing();
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.string, b.string) < 0; });
    Changed();
}

void TStringList::Sort()
{
    if (!sorted_ && Count() > 1)
        SortItems();
}

void TStringList::CustomSort(const TStringListSortCompare& compare)
{
    if (sorted_ || Count() < 2)
        return;
    // A heap sort: it needs only the index comparison and exchanges, and never goes quadratic.
    auto less = [&](int a, int b) { return compare(this, a, b) < 0; };
    auto swapItems = [&](int a, int b) {
        std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
    };
    auto siftDown = [&](int root, int end) {
        for (;;) {
            int child = 2 * root + 1;
            if (child >= end)
                return;
            if (child + 1 < end && less(child, child + 1))
                ++child;
            if (!less(root, child))
                return;
            swapItems(root, child);
            root = child;
        }
    };
    Changing();
    int n = Count();
    for (int start = n / 2 - 1; start >= 0; --start)
        siftDown(start, n);
    for (int end = n - 1; end > 0; --end) {
        swapItems(0, end);
        siftDown(0, end);
    }
    Changed();
}

void TStringList::SetSorted(bool value)
{
    if (value == sorted_)
        return;
    if (value)
        Sort();
    sorted_ = value;
}

}  // namespace rtl
