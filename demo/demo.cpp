// The unattended demo: the installer on the headless screen, driven through
// the automation API the way a person would click through it, with a PNG of
// every step.  It runs on a machine folder of its own (a fresh temporary one
// unless SETUP_MACHINE names one) and prints where the pictures are.
//
//   nobra-demo [output folder]      (default: ./demo-output)

#include <automation.h>
#include <platform.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <string>
#include <vector>

namespace automation {
void ProgramEnded();
}

static std::string outDir = "demo-output";
static int step;
static std::vector<std::string> saved;

static void Shot(const char *name)
{
    char path[1024];
    snprintf(path, sizeof path, "%s/%02d-%s.png", outDir.c_str(), ++step, name);
    if (automation::SavePng(path))
        saved.push_back(path);
    else
        fprintf(stderr, "nobra-demo: could not write %s\n", path);
}

// Answers the message box on top with the named button, after a picture of it.
static bool Answer(const char *button, const char *shotName)
{
    HWND box = automation::ActiveWindow();
    HWND b = box ? automation::BoxButton(box, button) : NULL;
    if (!b)
        return false;
    Shot(shotName);
    automation::Click(b);
    return true;
}

static void Script()
{
    using namespace automation;
    HWND page = WaitDialog("IDD_AGREEMENT");
    if (page) {
        Shot("licence");
        HWND text = Control(page, 151);
        if (text) {
            RECT r = WindowRect(text);
            WheelAt((r.left + r.right) / 2, (r.top + r.bottom) / 2, -WHEEL_DELTA * 3);
            Shot("licence-scrolled");
        }
        Click(Control(page, IDOK));
    }
    page = FindDialog("IDD_DIR");
    if (page) {
        Shot("destination");
        Click(Control(page, 100));
        HWND browser = FindDialog("IDD_BROWSE");
        if (browser) {
            Shot("browser");
            HWND drives = Control(browser, 104);
            std::vector<std::string> items = Items(drives);
            if (items.size() > 1) {
                ClickItem(drives, 1);
                Shot("browser-drive");
                ClickItem(drives, 0);
            }
            HWND list = Control(browser, 107);
            // Walk down into the first folder below the up item, then back up.
            std::vector<std::string> names = Items(list);
            for (size_t i = 0; i < names.size(); i++) {
                if (names[i] != "........" && names[i] != "Nobra") {
                    DoubleClickItem(list, (int)i);
                    Shot("browser-down");
                    break;
                }
            }
            names = Items(list);
            for (size_t i = 0; i < names.size(); i++)
                if (names[i] == "........") {
                    DoubleClickItem(list, (int)i);
                    Shot("browser-up");
                    break;
                }
            HWND name = Control(browser, 105);
            Click(name);
            Key(VK_END);
            Type(" Demo");
            Shot("browser-named");
            Click(Control(browser, IDOK));
        }
        Shot("destination-chosen");
        Click(Control(page, IDOK));
        Settle();
        if (FindDialog("IDD_DIR"))
            Answer("Yes", "destination-exists");
    }
    Settle();
    // Whatever follows ends in a closing message box.
    for (int i = 0; i < 4 && ActiveWindow(); i++) {
        if (!Answer("OK", "closing-message"))
            break;
    }
}

static void MakeDirs(const std::string &root, const char *const *dirs)
{
    for (; *dirs; dirs++) {
        std::string path = root;
        std::string rel = *dirs;
        size_t start = 0;
        while (start <= rel.size()) {
            size_t end = rel.find('/', start);
            if (end == std::string::npos)
                end = rel.size();
            path += "/" + rel.substr(start, end - start);
            mkdir(path.c_str(), 0755);
            start = end + 1;
        }
    }
}

// A machine with two drives and a few folders, so that the browser has
// somewhere to walk.
static void FurnishMachine(const std::string &machine)
{
    static const char *const onC[] = {"WINDOWS/SYSTEM", "WINDOWS/TEMP", "Program files/Common Files",
                                      "Program files/Accessories", "Users/Public/Desktop",
                                      "ProgramData/Microsoft/Windows/Start Menu/Programs", nullptr};
    static const char *const onD[] = {"GAMES", "Music", "Tools", nullptr};
    mkdir(machine.c_str(), 0755);
    mkdir((machine + "/drive_c").c_str(), 0755);
    mkdir((machine + "/drive_d").c_str(), 0755);
    MakeDirs(machine + "/drive_c", onC);
    MakeDirs(machine + "/drive_d", onD);
    FILE *ini = fopen((machine + "/machine.ini").c_str(), "w");
    if (!ini)
        return;
    fputs("[machine]\nwindows=C:\\WINDOWS\ntemp=C:\\WINDOWS\\TEMP\ncurrent=C:\\\n"
          "[drives]\nC=drive_c\nD=drive_d\n[free]\nD=2000000000\n[screen]\nbackend=headless\n",
          ini);
    fclose(ini);
}

int main(int argc, char **argv)
{
    if (argc > 1)
        outDir = argv[1];
    mkdir(outDir.c_str(), 0755);
    setenv("SETUP_SCREEN", "headless", 1);
    if (!getenv("SETUP_SCREEN_SIZE"))
        setenv("SETUP_SCREEN_SIZE", "800x600", 1);
    std::string machine;
    if (!getenv("SETUP_MACHINE")) {
        char tmpl[] = "/tmp/nobra-demo-machine-XXXXXX";
        if (!mkdtemp(tmpl)) {
            perror("nobra-demo: mkdtemp");
            return 2;
        }
        machine = std::string(tmpl) + "/machine";
        setenv("SETUP_MACHINE", machine.c_str(), 1);
        FurnishMachine(machine);
    } else {
        machine = getenv("SETUP_MACHINE");
    }
    int failed = PlatformStart();
    if (failed)
        return failed;
    automation::Start(Script);
    int code = PlatformRunWinMain();
    automation::ProgramEnded();
    printf("nobra-demo: the installer ended with exit code %d\n", code);
    printf("nobra-demo: machine folder %s\n", machine.c_str());
    for (const std::string &p : saved)
        printf("nobra-demo: saved %s\n", p.c_str());
    return code;
}
