#include "platform/win/Handles.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/win/Platform.h"

namespace win {

namespace {

struct THandleTable {
    std::recursive_mutex Lock;
    uintptr_t Next = 4;
    std::map<uintptr_t, std::unique_ptr<THandleObject>> Objects;
};

void CloseAll(THandleTable& table);

THandleTable& Table()
{
    static THandleTable table;
    static const bool registered = [] {
        RegisterResetHook([] { CloseAll(table); });
        return true;
    }();
    (void)registered;
    return table;
}

void CloseAll(THandleTable& table)
{
    std::map<uintptr_t, std::unique_ptr<THandleObject>> closing;
    {
        std::lock_guard lock(table.Lock);
        closing.swap(table.Objects);
    }
    // Newest first, as a program ending would release them.
    while (!closing.empty())
        closing.erase(std::prev(closing.end()));
}

}  // namespace

HANDLE AddHandle(std::unique_ptr<THandleObject> object)
{
    THandleTable& table = Table();
    std::lock_guard lock(table.Lock);
    const uintptr_t value = table.Next;
    table.Next += 4;
    table.Objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

THandleObject* HandleObject(HANDLE handle)
{
    THandleTable& table = Table();
    std::lock_guard lock(table.Lock);
    auto found = table.Objects.find(reinterpret_cast<uintptr_t>(handle));
    return found == table.Objects.end() ? nullptr : found->second.get();
}

void ForEachHandle(const std::function<void(THandleObject&)>& visit)
{
    THandleTable& table = Table();
    std::lock_guard lock(table.Lock);
    for (auto& [value, object] : table.Objects)
        visit(*object);
}

BOOL CloseHandle(HANDLE handle)
{
    std::unique_ptr<THandleObject> closing;
    {
        THandleTable& table = Table();
        std::lock_guard lock(table.Lock);
        auto found = table.Objects.find(reinterpret_cast<uintptr_t>(handle));
        if (found == table.Objects.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        closing = std::move(found->second);
        table.Objects.erase(found);
    }
    return TRUE;
}

}  // namespace win
