// A DLL that is harmless to load; the tests only look at whether it can be.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
