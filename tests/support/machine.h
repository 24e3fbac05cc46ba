/*
 * A fresh machine for one test.
 *
 * TempMachine makes a temporary machine folder, writes its machine.ini from
 * the defaults below with the test's settings applied on top, points
 * SETUP_MACHINE at it and starts the machine (layer::MachineInit).  At the
 * end it removes the folder and gives the environment back as it was.  The
 * screen variables (SETUP_SCREEN, SETUP_SCREEN_SIZE, SETUP_SCREEN_BPP) and
 * SETUP_TEST_FAIL are cleared for the test's lifetime, so that the
 * settings decide and a developer's own environment does not leak in.
 *
 * Defaults: drive C = drive_c, windows=C:\WINDOWS, temp=C:\WINDOWS\TEMP,
 * current=C:\, a headless screen of 640 by 480 at 32 bits.
 *
 *     TempMachine m({{"screen", "width", "64"}, {"screen", "height", "48"}});
 *     ASSERT_TRUE(m.Ready());
 *     m.WriteFile("WINDOWS\\TEMP\\a.txt", "hello");
 *
 * A setting with an empty value removes the key (e.g. {"drives", "C", ""}).
 */
#ifndef NOBRA_TEST_MACHINE_H
#define NOBRA_TEST_MACHINE_H

#include <string>
#include <utility>
#include <vector>

struct MachineSetting {
    std::string section, key, value;
};

class TempMachine {
public:
    explicit TempMachine(std::vector<MachineSetting> settings = {});
    /* Only the folder and the environment: the test writes machine.ini
     * itself (or leaves it out) and calls Init. */
    enum Bare { NoInit };
    explicit TempMachine(Bare);
    ~TempMachine();
    TempMachine(const TempMachine &) = delete;
    TempMachine &operator=(const TempMachine &) = delete;

    /* layer::MachineInit's result, again. */
    bool Init();
    bool Ready() const { return ready_; }
    const std::string &Root() const { return root_; }

    /* machine.ini as text, replacing what is there. */
    void WriteIni(const std::string &text);
    std::string ReadIni() const;

    /* Host paths below a drive's folder: rel uses '\' or '/', no drive. */
    std::string HostPath(const std::string &rel = "", char drive = 'C') const;
    void MakeDir(const std::string &rel, char drive = 'C') const;
    void WriteFile(const std::string &rel, const std::string &content, char drive = 'C') const;
    std::string ReadFile(const std::string &rel, char drive = 'C') const;
    bool Exists(const std::string &rel, char drive = 'C') const;
    bool IsDir(const std::string &rel, char drive = 'C') const;

    /* Sets an environment variable for the test's lifetime. */
    void SetEnv(const char *name, const char *value);

private:
    void Setup();
    std::string root_;
    bool ready_ = false;
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> savedEnv_;
};

#endif
