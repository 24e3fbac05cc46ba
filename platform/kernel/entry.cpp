/*
 * The process entry of the Linux build: set up the machine and the screen,
 * then hand over to the program's WinMain, whose result is the exit code.
 */
#include <platform.h>

int main()
{
    int failed = PlatformStart();
    if (failed)
        return failed;
    return PlatformRunWinMain();
}
