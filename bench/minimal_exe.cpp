// The baseline of the start-up benchmark: a Win32 executable that does
// nothing but start and end.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
