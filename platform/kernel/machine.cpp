/*
 * The machine: the folder that stands for the Windows computer the program
 * runs on.
 *
 * SETUP_MACHINE names the folder (by default
 * ~/.local/share/nobra-setup/machine).  In it machine.ini says which host
 * folder is which drive, where the Windows and temporary folders are, the
 * current directory at start, optional free-space figures per drive, and the
 * screen to show.  The file is written with defaults when it is missing, and
 * a fresh system drive (the one that holds the Windows folder) gets the
 * folders a Windows installation has: WINDOWS, WINDOWS\TEMP, Program files,
 * the common Start menu and the public desktop.  Missing drive folders are
 * created, and so are the Windows and temporary folders.
 *
 * machine.ini is an ini file: [section] lines, key=value lines, ';' starts a
 * comment (also after a value, so a value cannot hold a ';').  Sections and
 * keys are case-insensitive; unknown ones are ignored.  A line that is
 * neither, a drive with no folder, or a value out of range stops the start
 * with a message naming the line, rather than running on a machine other
 * than the one the file describes.
 *
 * The environment overrides the screen for tests and the demo:
 * SETUP_SCREEN (auto, headless, x11), SETUP_SCREEN_SIZE=WxH and
 * SETUP_SCREEN_BPP.
 */
#include "kernel/kernel.h"

#include <errno.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static layer::Machine machine;

static const char kDefaultIni[] =
    "; The Windows machine of Nobra Setup's Linux build.\n"
    "[machine]\n"
    "windows=C:\\WINDOWS\n"
    "temp=C:\\WINDOWS\\TEMP\n"
    "current=C:\\\n"
    "\n"
    "; letter=host folder, relative to this folder or absolute\n"
    "[drives]\n"
    "C=drive_c\n"
    "\n"
    "; optional free bytes per drive, e.g. C=123456789\n"
    "[free]\n"
    "\n"
    "; backend: auto (x11 when DISPLAY is set), headless or x11\n"
    "; width, height: 0 for the host screen's under X11, 640 by 480 headless\n"
    "; bpp: 8, 16, 24 or 32\n"
    "[screen]\n"
    "backend=auto\n"
    "width=0\n"
    "height=0\n"
    "bpp=32\n";

/* The folders of a fresh system drive, below its root. */
static const char *const kSystemFolders[] = {
    "WINDOWS",
    "WINDOWS/TEMP",
    "Program files",
    "ProgramData/Microsoft/Windows/Start Menu/Programs",
    "Users/Public/Desktop",
};

static std::string Trim(const std::string &s)
{
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

static std::string Lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c += 32;
    return s;
}

static bool ParseNumber(const std::string &s, uint64_t limit, uint64_t &out)
{
    if (s.empty() || s.size() > 20)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        uint64_t next = v * 10 + (uint64_t)(c - '0');
        if (next / 10 != v || next > limit)
            return false;
        v = next;
    }
    out = v;
    return true;
}

static bool ValidBackend(const std::string &b)
{
    return b == "auto" || b == "headless" || b == "x11";
}

static bool ValidBpp(uint64_t bpp)
{
    return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

static bool ReadFileText(const std::string &path, std::string &text)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char chunk[4096];
    size_t n;
    text.clear();
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

static bool WriteFileAtomically(const std::string &path, const std::string &text)
{
    std::string tmp = path + ".tmp";
    FILE *f = fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    if (!ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

/* Reads machine.ini into m.  Paths of [machine] are kept as written and
 * checked once the drives are known. */
static bool ParseIni(const std::string &file, const std::string &text, layer::Machine &m)
{
    std::string section;
    bool sawDrives = false;
    std::vector<std::pair<char, uint64_t>> free;
    size_t pos = 0;
    for (int lineNo = 1; pos < text.size(); lineNo++) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        size_t semi = line.find(';');
        if (semi != std::string::npos)
            line.erase(semi);
        line = Trim(line);
        if (line.empty())
            continue;
        auto fail = [&](const char *why) {
            fprintf(stderr, "%s:%d: %s\n", file.c_str(), lineNo, why);
            return false;
        };
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3)
                return fail("a section line must be [name]");
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (section == "drives") {
                if (sawDrives)
                    return fail("[drives] appears twice");
                sawDrives = true;
                m.drives.clear();
            }
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("expected key=value");
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::string value = Trim(line.substr(eq + 1));
        if (key.empty())
            return fail("a key is missing before '='");
        if (section.empty())
            return fail("key=value before any [section]");
        if (section == "machine") {
            if (key == "windows" || key == "temp" || key == "current") {
                if (value.empty())
                    return fail("the path is empty");
                (key == "windows" ? m.windowsDir : key == "temp" ? m.tempDir : m.currentDir) = value;
            }
        } else if (section == "drives") {
            if (key.size() != 1 || key[0] < 'a' || key[0] > 'z')
                return fail("a drive is one letter, A to Z");
            if (value.empty())
                return fail("the drive has no folder");
            /* The key was folded to lower case; keep the letter as written. */
            char letter = Trim(line.substr(0, eq))[0];
            for (const layer::Drive &d : m.drives)
                if (Lower(std::string(1, d.letter)) == key)
                    return fail("the drive is listed twice");
            layer::Drive d;
            d.letter = letter;
            d.hostDir = value[0] == '/' ? value : m.root + "/" + value;
            while (d.hostDir.size() > 1 && d.hostDir.back() == '/')
                d.hostDir.pop_back();
            m.drives.push_back(d);
        } else if (section == "free") {
            if (key.size() != 1 || key[0] < 'a' || key[0] > 'z')
                return fail("a drive is one letter, A to Z");
            uint64_t bytes;
            if (!ParseNumber(value, UINT64_MAX, bytes))
                return fail("free space is a number of bytes");
            free.push_back({key[0], bytes});
        } else if (section == "screen") {
            uint64_t n;
            if (key == "backend") {
                m.screenBackend = Lower(value);
                if (!ValidBackend(m.screenBackend))
                    return fail("backend is auto, headless or x11");
            } else if (key == "width" || key == "height") {
                if (!ParseNumber(value, 16384, n))
                    return fail("the size is a number from 0 to 16384");
                (key == "width" ? m.screenWidth : m.screenHeight) = (int)n;
            } else if (key == "bpp") {
                if (!ParseNumber(value, 64, n) || !ValidBpp(n))
                    return fail("bpp is 8, 16, 24 or 32");
                m.screenBpp = (int)n;
            }
        }
    }
    if (m.drives.empty()) {
        fprintf(stderr, "%s: no drives\n", file.c_str());
        return false;
    }
    for (auto &f : free) {
        layer::Drive *found = nullptr;
        for (layer::Drive &d : m.drives)
            if (Lower(std::string(1, d.letter))[0] == f.first)
                found = &d;
        if (!found) {
            fprintf(stderr, "%s: [free] names drive %c, which is not in [drives]\n", file.c_str(),
                    f.first - 32);
            return false;
        }
        found->hasFreeFigure = true;
        found->freeBytes = f.second;
    }
    return true;
}

static bool ApplyEnvironment(layer::Machine &m)
{
    const char *backend = getenv("SETUP_SCREEN");
    if (backend && *backend) {
        std::string b = Lower(backend);
        if (!ValidBackend(b)) {
            fprintf(stderr, "SETUP_SCREEN=%s: expected auto, headless or x11\n", backend);
            return false;
        }
        m.screenBackend = b;
    }
    const char *size = getenv("SETUP_SCREEN_SIZE");
    if (size && *size) {
        std::string s = Lower(size);
        size_t x = s.find('x');
        uint64_t w, h;
        if (x == std::string::npos || !ParseNumber(s.substr(0, x), 16384, w) ||
            !ParseNumber(s.substr(x + 1), 16384, h) || w == 0 || h == 0) {
            fprintf(stderr, "SETUP_SCREEN_SIZE=%s: expected WIDTHxHEIGHT, e.g. 640x480\n", size);
            return false;
        }
        m.screenWidth = (int)w;
        m.screenHeight = (int)h;
    }
    const char *bpp = getenv("SETUP_SCREEN_BPP");
    if (bpp && *bpp) {
        uint64_t n;
        if (!ParseNumber(bpp, 64, n) || !ValidBpp(n)) {
            fprintf(stderr, "SETUP_SCREEN_BPP=%s: expected 8, 16, 24 or 32\n", bpp);
            return false;
        }
        m.screenBpp = (int)n;
    }
    return true;
}

static std::string DefaultRoot()
{
    const char *home = getenv("HOME");
    if (!home || !*home) {
        struct passwd *pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home)
        return "";
    return std::string(home) + "/.local/share/nobra-setup/machine";
}

/* Checks one [machine] path and stores its normal form: an absolute path on
 * a drive of the machine. */
static bool CheckMachinePath(const char *key, std::string &path)
{
    std::string host, full;
    if (path.size() < 3 || path[1] != ':' || (path[2] != '\\' && path[2] != '/') ||
        !layer::TranslatePath(path.c_str(), host, &full)) {
        fprintf(stderr, "machine.ini: %s=%s is not an absolute path on a drive of the machine\n", key,
                path.c_str());
        return false;
    }
    path = full;
    return true;
}

namespace layer {

Machine &GetMachine() { return machine; }

Drive *FindDrive(char letter)
{
    char want = (char)LowerCp1252((unsigned char)letter);
    for (Drive &d : machine.drives)
        if ((char)LowerCp1252((unsigned char)d.letter) == want)
            return &d;
    return nullptr;
}

bool MakeHostDirs(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeHostDirs(path.substr(0, slash)))
        return false;
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

bool MachineInit()
{
    /* A machine that fails to start leaves none behind, rather than the one
     * before it. */
    machine = Machine();
    Machine m;
    const char *env = getenv("SETUP_MACHINE");
    m.root = env && *env ? env : DefaultRoot();
    if (m.root.empty()) {
        fprintf(stderr, "no machine folder: set SETUP_MACHINE or HOME\n");
        return false;
    }
    while (m.root.size() > 1 && m.root.back() == '/')
        m.root.pop_back();
    if (!MakeHostDirs(m.root)) {
        fprintf(stderr, "%s: cannot make the machine folder: %s\n", m.root.c_str(), strerror(errno));
        return false;
    }
    m.windowsDir = "C:\\WINDOWS";
    m.tempDir = "C:\\WINDOWS\\TEMP";
    m.currentDir = "C:\\";
    m.screenBackend = "auto";
    m.drives.push_back(Drive{'C', m.root + "/drive_c"});

    std::string ini = m.root + "/machine.ini";
    std::string text;
    struct stat st;
    if (stat(ini.c_str(), &st) != 0) {
        if (!WriteFileAtomically(ini, kDefaultIni)) {
            fprintf(stderr, "%s: cannot write the default settings: %s\n", ini.c_str(), strerror(errno));
            return false;
        }
    }
    if (!ReadFileText(ini, text)) {
        fprintf(stderr, "%s: cannot read: %s\n", ini.c_str(), strerror(errno));
        return false;
    }
    if (!ParseIni(ini, text, m) || !ApplyEnvironment(m))
        return false;

    /* The drive folders must exist before paths can be checked against them;
     * note which were new, to give a fresh system drive its folders. */
    std::vector<bool> fresh;
    for (Drive &d : m.drives) {
        bool existed = stat(d.hostDir.c_str(), &st) == 0;
        if (existed && !S_ISDIR(st.st_mode)) {
            fprintf(stderr, "%s: drive %c: is not a folder\n", d.hostDir.c_str(), d.letter);
            return false;
        }
        if (!existed && !MakeHostDirs(d.hostDir)) {
            fprintf(stderr, "%s: cannot make drive %c: %s\n", d.hostDir.c_str(), d.letter,
                    strerror(errno));
            return false;
        }
        fresh.push_back(!existed);
    }

    machine = m;
    /* The paths are checked against the new drives; the current directory
     * must not take part in that, so it starts at a drive root. */
    machine.currentDir = std::string(1, machine.drives[0].letter) + ":\\";
    std::string windows = m.windowsDir, temp = m.tempDir, current = m.currentDir;
    if (!CheckMachinePath("windows", windows) || !CheckMachinePath("temp", temp) ||
        !CheckMachinePath("current", current)) {
        machine = Machine();
        return false;
    }
    machine.windowsDir = windows;
    machine.tempDir = temp;

    Drive *system = FindDrive(windows[0]);
    for (size_t i = 0; i < machine.drives.size(); i++) {
        if (fresh[i] && &machine.drives[i] == system)
            for (const char *sub : kSystemFolders)
                MakeHostDirs(machine.drives[i].hostDir + "/" + sub);
    }
    for (const std::string *dir : {&windows, &temp}) {
        std::string host;
        if (!TranslatePath(dir->c_str(), host) || !MakeHostDirs(host)) {
            fprintf(stderr, "%s: cannot make the folder %s\n", host.c_str(), dir->c_str());
            machine = Machine();
            return false;
        }
    }
    std::string host;
    if (!TranslatePath(current.c_str(), host) || stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        fprintf(stderr, "machine.ini: current=%s is not a folder of the machine\n", current.c_str());
        machine = Machine();
        return false;
    }
    machine.currentDir = current;
    SetLastError(NO_ERROR);
    return true;
}

} // namespace layer
