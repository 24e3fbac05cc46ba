#include "scenario.h"

#include <automation.h>
#include <platform.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace automation {
void ProgramEnded();
}

std::string ScenarioResult::Describe() const
{
    char buf[200];
    if (timedOut)
        snprintf(buf, sizeof buf, "the scenario did not end in time");
    else if (!exited)
        snprintf(buf, sizeof buf, "the scenario died from signal %d", signal);
    else
        snprintf(buf, sizeof buf, "exit code %d%s", exitCode,
                 scriptFailed ? ", with failed checks in the child (see above)" : "");
    return buf;
}

namespace {

struct Report {
    int exitCode;
    int failed;
};

[[noreturn]] void RunChild(int fd, std::function<void()> script, std::function<int()> body)
{
    int code = PlatformStart();
    if (code == 0) {
        if (script)
            automation::Start(std::move(script));
        code = body ? body() : PlatformRunWinMain();
        automation::ProgramEnded();
    }
    Report report = {code, ::testing::Test::HasFailure() ? 1 : 0};
    if (write(fd, &report, sizeof report) != (ssize_t)sizeof report)
        perror("scenario report");
    fflush(stdout);
    fflush(stderr);
    _exit(code & 0xFF);
}

} // namespace

ScenarioResult RunScenario(std::function<void()> script, std::function<int()> body, int timeoutSeconds)
{
    ScenarioResult result;
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    if (pid == 0) {
        close(fds[0]);
        RunChild(fds[1], std::move(script), std::move(body));
    }
    close(fds[1]);
    int status = 0;
    time_t deadline = time(nullptr) + timeoutSeconds;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (time(nullptr) > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.timedOut = true;
            close(fds[0]);
            return result;
        }
        usleep(2000);
    }
    Report report;
    bool reported = read(fds[0], &report, sizeof report) == (ssize_t)sizeof report;
    close(fds[0]);
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitCode = reported ? report.exitCode : WEXITSTATUS(status);
        result.scriptFailed = reported && report.failed;
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}
