// Prints the cost of the backdrop: its build at 1920x1080 and 3840x2160 at
// 24 bits beside a plain memcpy of the same screen's bytes, and the time from
// process start to the first painted frame on the headless screen.
//
//   backdrop_bench [runs]
//
// Each size is measured in a child process of its own, on a fresh machine
// folder.  The start-up figure runs the real nobra-setup on a headless
// screen with no script: it paints the backdrop and the first page, and exits
// at the first moment it would wait for input.

#include <platform.h>

#include "setup.h"

#include <algorithm>
#include <chrono>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

static double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

static std::string FreshMachine()
{
    char tmpl[] = "/tmp/nobra-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        perror("mkdtemp");
        exit(2);
    }
    return std::string(tmpl) + "/machine";
}

static LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// In a child: builds the backdrop `runs` times and copies the screen's bytes
// as many times; prints one line.
static void MeasureBuild(int width, int height, int runs)
{
    setenv("SETUP_MACHINE", FreshMachine().c_str(), 1);
    setenv("SETUP_SCREEN", "headless", 1);
    setenv("SETUP_SCREEN_SIZE", (std::to_string(width) + "x" + std::to_string(height)).c_str(), 1);
    setenv("SETUP_SCREEN_BPP", "24", 1);
    if (PlatformStart() != 0)
        exit(2);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "BenchWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "BenchWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    HDC dc = GetDC(window);
    g_setup.screenWidth = GetDeviceCaps(dc, HORZRES);
    g_setup.screenHeight = GetDeviceCaps(dc, VERTRES);
    g_setup.screenBpp = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(window, dc);
    g_setup.titleFont = CreateLogicalFont(400, 0, 72, DEFAULT_CHARSET, "Arial Black");

    std::vector<double> build, copy;
    size_t bytes = (size_t)((width * 24 + 31) / 32 * 4) * height;
    std::vector<unsigned char> from(bytes, 0x5A), to(bytes);
    for (int i = 0; i < runs; i++) {
        Clock::time_point t0 = Clock::now();
        HBITMAP b = BuildBackdrop(window);
        build.push_back(Ms(Clock::now() - t0));
        if (!b) {
            fprintf(stderr, "backdrop_bench: the build failed\n");
            exit(1);
        }
        // The build keeps its memory for the process's life; give it back
        // between runs so that the figures do not measure a growing heap.
        DeleteObject(b);
        GlobalFree(g_setup.backdropInfo);
        VirtualFree(g_setup.backdropBits, 0, MEM_RELEASE);
        t0 = Clock::now();
        memcpy(to.data(), from.data(), bytes);
        copy.push_back(Ms(Clock::now() - t0));
        from[i % bytes] ^= to[(i * 7) % bytes];
    }
    double b = Median(build), c = Median(copy);
    printf("build %4dx%-4d 24 bits: %8.2f ms (first %.2f ms)   memcpy of %zu bytes: %7.2f ms   ratio %5.2f copies\n",
           width, height, b, build[0], bytes, c, b / c);
    fflush(stdout);
}

static void InChild(void (*fn)(int, int, int), int w, int h, int runs)
{
    pid_t pid = fork();
    if (pid == 0) {
        fn(w, h, runs);
        _exit(0);
    }
    int status;
    waitpid(pid, &status, 0);
}

static void MeasureStartUp(int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; i++) {
        std::string machine = FreshMachine();
        Clock::time_point t0 = Clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            setenv("SETUP_MACHINE", machine.c_str(), 1);
            setenv("SETUP_SCREEN", "headless", 1);
            setenv("SETUP_SCREEN_SIZE", "1920x1080", 1);
            setenv("SETUP_SCREEN_BPP", "24", 1);
            freopen("/dev/null", "w", stderr);
            execl(NOBRA_SETUP_EXE, "nobra-setup", (char *)NULL);
            _exit(127);
        }
        int status;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 124) {
            fprintf(stderr, "backdrop_bench: nobra-setup did not stop at its first wait (status %d)\n", status);
            return;
        }
        times.push_back(Ms(Clock::now() - t0));
    }
    printf("process start to first painted frame (1920x1080, backdrop and licence page): %.1f ms (median of %d)\n",
           Median(times), runs);
}

int main(int argc, char **argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 7;
    if (runs < 1)
        runs = 1;
    InChild(MeasureBuild, 1920, 1080, runs);
    InChild(MeasureBuild, 3840, 2160, runs);
    MeasureStartUp(runs);
    return 0;
}
