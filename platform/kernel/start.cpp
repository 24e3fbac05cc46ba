/*
 * Starting the layer in a process: the machine first, because the screen
 * reads its settings, then the screen.  Either failing ends the start with
 * exit code 2 and a line on stderr saying which part could not be had; the
 * part itself has already said why.
 */
#include "layer.h"

#include <platform.h>

#include <stdio.h>

int PlatformStart(void)
{
    if (!layer::MachineInit()) {
        fprintf(stderr, "nobra-setup: the machine could not be set up\n");
        return 2;
    }
    if (!layer::ScreenInit()) {
        fprintf(stderr, "nobra-setup: the screen could not be started\n");
        return 2;
    }
    return 0;
}

HINSTANCE PlatformInstance(void)
{
    return layer::ModuleInstance();
}

/* The layer's own test programs have no WinMain; they never run it. */
extern "C" int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) __attribute__((weak));

/* WinMain gets no command line of its own: the program is started without
 * arguments.  The buffer is writable, as the platform's is. */
int PlatformRunWinMain(void)
{
    static char commandLine[1] = "";
    if (!WinMain) {
        fprintf(stderr, "nobra-setup: this program has no WinMain to run\n");
        return 2;
    }
    return WinMain(PlatformInstance(), nullptr, commandLine, SW_SHOWDEFAULT);
}
