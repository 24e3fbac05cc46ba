/*
 * The last error, the layer's abort for impossible states, and failure
 * injection.
 *
 * The last error belongs to a thread, as on the platform: the automation
 * script runs on a thread of its own and must not see the program's codes.
 *
 * Failure injection lets a test make one API call fail the way it would when
 * memory or a device runs out.  SETUP_TEST_FAIL holds a comma-separated list
 * of "Name" (fail every call) or "Name@n" (fail only the n-th call, counting
 * from 1).  The variable is read on every call, so that a test may set it
 * while the process runs; when its text changes the counts start again.
 */
#include "kernel/kernel.h"

#include <mutex>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static thread_local DWORD lastError;

extern "C" DWORD WINAPI GetLastError(void) { return lastError; }
extern "C" void WINAPI SetLastError(DWORD code) { lastError = code; }

namespace {

struct FailRule {
    std::string name;
    long nth = 0;   /* 0: every call */
    long calls = 0;
};

std::mutex failLock;
std::string failText;
std::vector<FailRule> failRules;

void ParseFailRules(const char *text)
{
    failText = text;
    failRules.clear();
    std::string all(text);
    size_t pos = 0;
    while (pos <= all.size()) {
        size_t comma = all.find(',', pos);
        if (comma == std::string::npos)
            comma = all.size();
        std::string item = all.substr(pos, comma - pos);
        pos = comma + 1;
        while (!item.empty() && item.front() == ' ')
            item.erase(item.begin());
        while (!item.empty() && item.back() == ' ')
            item.pop_back();
        if (item.empty())
            continue;
        FailRule rule;
        size_t at = item.find('@');
        rule.name = item.substr(0, at);
        if (at != std::string::npos) {
            char *end = nullptr;
            long n = strtol(item.c_str() + at + 1, &end, 10);
            if (!end || *end || n < 1) {
                fprintf(stderr, "SETUP_TEST_FAIL: \"%s\" is not Name or Name@n (n from 1); ignored\n",
                        item.c_str());
                continue;
            }
            rule.nth = n;
        }
        failRules.push_back(rule);
    }
}

} // namespace

namespace layer {

void Abort(const char *file, int line, const char *what)
{
    fprintf(stderr, "%s:%d: %s\n", file, line, what);
    fflush(stderr);
    abort();
}

bool FailPoint(const char *name)
{
    const char *text = getenv("SETUP_TEST_FAIL");
    std::lock_guard<std::mutex> hold(failLock);
    if (!text || !*text) {
        if (!failText.empty())
            ParseFailRules("");
        return false;
    }
    if (failText != text)
        ParseFailRules(text);
    bool fail = false;
    for (FailRule &rule : failRules) {
        if (rule.name != name)
            continue;
        rule.calls++;
        if (rule.nth == 0 || rule.calls == rule.nth)
            fail = true;
    }
    return fail;
}

} // namespace layer
