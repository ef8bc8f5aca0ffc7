#pragma once
// A DLL loaded at run time from the system directory only. Every system DLL that is not one of
// the KnownDLLs is loaded this way: imported statically, it would be looked for beside the exe
// (a Downloads folder) before any search restriction applies.
#include <windows.h>

#include <string>

namespace platform::win32 {

// The system directory (System32), or empty when the system does not say.
std::wstring systemDirectory();

class SystemLibrary {
  public:
    // Throws platform::Error naming the DLL when it cannot be loaded.
    explicit SystemLibrary(const wchar_t* name);
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;
    ~SystemLibrary();

    // The exported function, cast to its type; throws platform::Error when it is missing.
    template <typename Function>
    Function function(const char* exportName) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(address(exportName)));
    }

  private:
    FARPROC address(const char* exportName) const;

    std::wstring name_;
    HMODULE module_ = nullptr;
};

}  // namespace platform::win32
