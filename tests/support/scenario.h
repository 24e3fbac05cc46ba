// Runs a scenario in a fresh process: the layer started from the machine
// folder in SETUP_MACHINE, a script driving the program through the
// automation API, and a body (by default the installer's WinMain).
#ifndef NOBRA_TEST_SCENARIO_H
#define NOBRA_TEST_SCENARIO_H

#include <functional>
#include <string>

struct ScenarioResult {
    bool exited = false;      // ended by exit, not by a signal or the time limit
    int exitCode = -1;        // the body's result, or the code the process exited with
    bool scriptFailed = false; // a check inside the child failed
    bool timedOut = false;
    int signal = 0;
    std::string Describe() const;
};

// Forks; in the child: PlatformStart(), automation::Start(script), body(),
// then the script is told the program ended and finishes its checks.  The
// parent waits up to timeoutSeconds.  Checks (EXPECT_*, ASSERT_*) made by the
// script or the body in the child are printed there and reported back as
// scriptFailed.
ScenarioResult RunScenario(std::function<void()> script, std::function<int()> body = nullptr,
                           int timeoutSeconds = 60);

// The usual verdict: exited normally with the expected code, no failed checks.
#define EXPECT_SCENARIO_OK(result, code)                                                       \
    do {                                                                                       \
        const ScenarioResult &r_ = (result);                                                   \
        EXPECT_TRUE(r_.exited && !r_.scriptFailed && r_.exitCode == (code)) << r_.Describe(); \
    } while (0)

#endif
