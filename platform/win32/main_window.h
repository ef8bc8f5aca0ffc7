#pragma once
// The installer's one window, made of standard controls created in code from its layout table
// (platform/win32/form_layout.h).
// Every event goes to FormEvents inside a try/catch: an exception reaches the error dialog and
// never a window procedure.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/controls.h"
#include "platform/win32/address_box.h"
#include "platform/win32/application.h"
#include "platform/win32/control_set.h"

namespace platform::win32 {

class MainWindow final : public FormControls {
  public:
    explicit MainWindow(Application& app);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow() override;

    // Creates the window and its controls, reports created, then shows the window.
    // Throws platform::Error when the window cannot be created.
    void create(FormEvents& events, int showCommand);
    HWND handle() const noexcept { return window_; }

    std::wstring text(Control control) const override;
    void setText(Control control, const std::wstring& text) override;
    int itemIndex(Control radioGroup) const override;
    int position() const override;
    void setPosition(int position) override;
    bool enabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    void showMessage(const std::wstring& text) override;
    void showError(const std::wstring& text) override;
    bool askYesNo(const std::wstring& text) override;
    Answer askYesNoCancel(const std::wstring& text) override;
    void setItemIndex(Control radioGroup, int index) override;
    void setAddressChoices(const std::vector<AddressChoice>& choices) override;
    void setSearching(bool searching) override;

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Runs an event handler; whatever it throws goes to the error dialog.
    template <typename Handler>
    void report(Handler&& handler) noexcept;

    void registerClass();
    void createControls();
    void layoutControls();
    HWND control(Control control) const { return controls_.control(control); }
    void onCommand(int id, int code);
    void onDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT onControlColour(UINT message, HDC dc, HWND child);
    void onMinMaxInfo(MINMAXINFO& info) const;
    void onDpiChanged(UINT dpi, const RECT& suggested);

    Application& app_;
    FormEvents* events_ = nullptr;
    HWND window_ = nullptr;  // owned: destroyed with this object if still alive
    ControlSet controls_;
    UINT dpi_ = 96;
    int languageIndex_ = 0;
    HWND lastFocus_ = nullptr;
    AddressBox addressBox_;
};

}  // namespace platform::win32
