// Win32ProfileDialogs::chooseFolder: the system's own folder dialog, so that the user finds the
// profile folder the way every other program lets them.
#include <windows.h>

#include <shobjidl.h>

#include <memory>

#include "platform/win32/profile_dialogs_win32.h"

namespace platform::win32 {
namespace {

struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComPtr = std::unique_ptr<Interface, Releaser>;

struct TaskMemFreer {
    void operator()(wchar_t* memory) const { CoTaskMemFree(memory); }
};

// COM on this thread for the dialog's time; a thread that has it already keeps its own.
class ComScope {
  public:
    ComScope()
        : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }

  private:
    HRESULT result_;
};

ComPtr<IShellItem> itemOf(const std::wstring& folder) {
    IShellItem* item = nullptr;
    if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES ||
        FAILED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(&item))))
        return nullptr;
    return ComPtr<IShellItem>(item);
}

[[noreturn]] void fail(HRESULT result) {
    throw Error(L"The folder dialog could not be shown (error " +
                std::to_wstring(static_cast<unsigned long>(result)) + L").");
}

}  // namespace

std::optional<std::wstring> Win32ProfileDialogs::chooseFolder(
    const std::wstring& title, const std::wstring& start,
    const std::vector<std::wstring>& offered) {
    const ComScope com;
    IFileOpenDialog* raw = nullptr;
    HRESULT result =
        CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&raw));
    if (FAILED(result))
        fail(result);
    const ComPtr<IFileOpenDialog> dialog(raw);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                       FOS_NOCHANGEDIR);
    dialog->SetTitle(title.c_str());
    if (const auto folder = itemOf(start))
        dialog->SetFolder(folder.get());
    // Each place goes to the top, so the last added is listed first. Wine's dialog has no list
    // of places and ignores them.
    for (auto place = offered.rbegin(); place != offered.rend(); ++place)
        if (const auto item = itemOf(*place))
            dialog->AddPlace(item.get(), FDAP_TOP);

    result = dialog->Show(owner_);
    if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return std::nullopt;
    if (FAILED(result))
        fail(result);
    IShellItem* chosen = nullptr;
    if (FAILED(result = dialog->GetResult(&chosen)))
        fail(result);
    const ComPtr<IShellItem> item(chosen);
    wchar_t* path = nullptr;
    if (FAILED(result = item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        fail(result);
    const std::unique_ptr<wchar_t, TaskMemFreer> owned(path);
    return std::wstring(path);
}

}  // namespace platform::win32
