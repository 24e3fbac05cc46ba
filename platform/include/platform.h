/*
 * Starting the layer in a process.  The program's own executable does this
 * in its entry (platform/kernel/entry.cpp); tests and the demo call it
 * themselves before WinMain.
 */
#ifndef NOBRA_PLATFORM_H
#define NOBRA_PLATFORM_H

#include <windows.h>

/* Sets up the machine (SETUP_MACHINE, machine.ini) and the screen.  Returns
 * 0, or a non-zero exit code after printing why on stderr. */
int PlatformStart(void);
/* The module instance that WinMain receives. */
HINSTANCE PlatformInstance(void);
/* Runs WinMain with the instance, as the process entry does. */
int PlatformRunWinMain(void);

#endif
