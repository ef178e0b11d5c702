#pragma once
// The process's handle table. Files, searches and the handles of other services (processes, events)
// live here, so CloseHandle closes any of them. Values are never reused, so a stale handle fails with
// ERROR_INVALID_HANDLE instead of reaching a newer object; ResetPlatform closes every handle.

#include <functional>
#include <memory>

#include "platform/win/WinTypes.h"

namespace win {

class THandleObject {
public:
    virtual ~THandleObject() = default;
};

// Takes ownership and gives the new handle (never null, never INVALID_HANDLE_VALUE).
HANDLE AddHandle(std::unique_ptr<THandleObject> object);
// The object of a handle, or null (without setting the last error) when the handle is not open.
THandleObject* HandleObject(HANDLE handle);
template <typename T>
T* HandleObjectAs(HANDLE handle)
{
    return dynamic_cast<T*>(HandleObject(handle));
}
// Every open object, for checks across handles (share modes).
void ForEachHandle(const std::function<void(THandleObject&)>& visit);

BOOL CloseHandle(HANDLE handle);

}  // namespace win
