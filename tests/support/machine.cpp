// The temporary machine of the tests: see machine.h.
#include "machine.h"

#include "layer.h"

#include <ctype.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace {

const char *const kEnvCleared[] = {"SETUP_MACHINE", "SETUP_SCREEN", "SETUP_SCREEN_SIZE", "SETUP_SCREEN_BPP",
                                   "SETUP_TEST_FAIL"};

struct Key {
    std::string section, key, value;
};

std::vector<Key> Defaults()
{
    return {
        {"machine", "windows", "C:\\WINDOWS"}, {"machine", "temp", "C:\\WINDOWS\\TEMP"},
        {"machine", "current", "C:\\"},        {"drives", "C", "drive_c"},
        {"screen", "backend", "headless"},     {"screen", "width", "640"},
        {"screen", "height", "480"},           {"screen", "bpp", "32"},
    };
}

bool SameName(const std::string &a, const std::string &b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string Slashes(std::string s)
{
    for (char &c : s)
        if (c == '\\')
            c = '/';
    return s;
}

int MakeWritable(const char *path, const struct stat *st, int type, struct FTW *)
{
    if (type == FTW_D || type == FTW_DNR)
        chmod(path, (st->st_mode & 07777) | S_IRWXU);
    return 0;
}

int RemoveOne(const char *path, const struct stat *, int type, struct FTW *)
{
    if (type == FTW_DP || type == FTW_D || type == FTW_DNR)
        rmdir(path);
    else
        unlink(path);
    return 0;
}

void MakeDirs(const std::string &path)
{
    std::string sofar;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        sofar = path.substr(0, pos);
        mkdir(sofar.c_str(), 0777);
    }
}

} // namespace

TempMachine::TempMachine(std::vector<MachineSetting> settings)
{
    Setup();
    std::vector<Key> keys = Defaults();
    for (const MachineSetting &s : settings) {
        bool replaced = false;
        for (auto it = keys.begin(); it != keys.end(); ++it) {
            if (SameName(it->section, s.section) && SameName(it->key, s.key)) {
                if (s.value.empty())
                    keys.erase(it);
                else
                    it->value = s.value;
                replaced = true;
                break;
            }
        }
        if (!replaced && !s.value.empty())
            keys.push_back({s.section, s.key, s.value});
    }
    std::string text;
    for (const char *section : {"machine", "drives", "free", "screen"}) {
        text += std::string("[") + section + "]\n";
        for (const Key &k : keys)
            if (SameName(k.section, section))
                text += k.key + "=" + k.value + "\n";
    }
    for (const Key &k : keys) {
        bool known = false;
        for (const char *section : {"machine", "drives", "free", "screen"})
            known = known || SameName(k.section, section);
        if (!known)
            text += "[" + k.section + "]\n" + k.key + "=" + k.value + "\n";
    }
    WriteIni(text);
    Init();
}

TempMachine::TempMachine(Bare)
{
    Setup();
}

void TempMachine::Setup()
{
    for (const char *name : kEnvCleared) {
        const char *v = getenv(name);
        savedEnv_.push_back({name, {v != nullptr, v ? v : ""}});
        unsetenv(name);
    }
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nobra-machine-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("cannot make a temporary machine folder");
    root_ = buf.data();
    setenv("SETUP_MACHINE", root_.c_str(), 1);
}

TempMachine::~TempMachine()
{
    nftw(root_.c_str(), MakeWritable, 16, FTW_PHYS);
    nftw(root_.c_str(), RemoveOne, 16, FTW_PHYS | FTW_DEPTH);
    for (auto it = savedEnv_.rbegin(); it != savedEnv_.rend(); ++it) {
        if (it->second.first)
            setenv(it->first.c_str(), it->second.second.c_str(), 1);
        else
            unsetenv(it->first.c_str());
    }
}

bool TempMachine::Init()
{
    ready_ = layer::MachineInit();
    return ready_;
}

void TempMachine::WriteIni(const std::string &text)
{
    FILE *f = fopen((root_ + "/machine.ini").c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write machine.ini");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

std::string TempMachine::ReadIni() const
{
    std::string text;
    FILE *f = fopen((root_ + "/machine.ini").c_str(), "rb");
    if (!f)
        return text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    fclose(f);
    return text;
}

std::string TempMachine::HostPath(const std::string &rel, char drive) const
{
    std::string base;
    const layer::Machine &m = layer::GetMachine();
    for (const layer::Drive &d : m.root == root_ ? m.drives : std::vector<layer::Drive>())
        if (toupper((unsigned char)d.letter) == toupper((unsigned char)drive))
            base = d.hostDir;
    if (base.empty())
        base = root_ + "/drive_" + std::string(1, (char)tolower((unsigned char)drive));
    std::string r = Slashes(rel);
    while (!r.empty() && r[0] == '/')
        r.erase(0, 1);
    return r.empty() ? base : base + "/" + r;
}

void TempMachine::MakeDir(const std::string &rel, char drive) const
{
    MakeDirs(HostPath(rel, drive));
}

void TempMachine::WriteFile(const std::string &rel, const std::string &content, char drive) const
{
    std::string path = HostPath(rel, drive);
    size_t slash = path.find_last_of('/');
    MakeDirs(path.substr(0, slash));
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

std::string TempMachine::ReadFile(const std::string &rel, char drive) const
{
    std::string text;
    FILE *f = fopen(HostPath(rel, drive).c_str(), "rb");
    if (!f)
        return text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    fclose(f);
    return text;
}

bool TempMachine::Exists(const std::string &rel, char drive) const
{
    struct stat st;
    return lstat(HostPath(rel, drive).c_str(), &st) == 0;
}

bool TempMachine::IsDir(const std::string &rel, char drive) const
{
    struct stat st;
    return stat(HostPath(rel, drive).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void TempMachine::SetEnv(const char *name, const char *value)
{
    bool saved = false;
    for (auto &e : savedEnv_)
        saved = saved || e.first == name;
    if (!saved) {
        const char *v = getenv(name);
        savedEnv_.push_back({name, {v != nullptr, v ? v : ""}});
    }
    setenv(name, value, 1);
}
