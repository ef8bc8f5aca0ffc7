// The smallest window program: its peak resident set under Wine is the baseline that Wine itself
// costs any GUI process, against which the installer's own share is read.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"EmptyWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"EmptyWindow", L"Empty", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    // Ends by itself: the measurement reads it meanwhile.
    SetTimer(window, 1, 3000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER)
            break;
        DispatchMessageW(&msg);
    }
    return 0;
}
