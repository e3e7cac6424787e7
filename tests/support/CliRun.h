#pragma once
// Runs the built morv-cli as a shell would, for the command-line tests.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <string>

#include "support/TestSupport.h"

namespace morv::test {

/// What a morv-cli run printed and how it ended.
struct CliResult {
    int status;
    std::string out, err;
};

/// Runs morv-cli in dir with a shell command line (args are not quoted for it);
/// collects standard output, standard error and the exit status (-1: killed).
inline CliResult morvCli(const std::string& args, const TempDir& dir) {
    const std::string errFile = dir.file("stderr.txt");
    const std::string cmd = "cd '" + dir.path().string() + "' && '" MORV_CLI_PATH "' " + args + " 2>'" + errFile + "'";
    CliResult r{};
    FILE* p = ::popen(cmd.c_str(), "r");
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = readFile(errFile);
    return r;
}

/// A call morv-cli must refuse: its arguments, exit status and how the one line it
/// writes on standard error starts.
struct Refusal {
    std::string args;
    int status;
    std::string errStart;
};

/// Runs each call in dir: it ends with its status and one line on standard error
/// starting errStart, and prints nothing on standard output.
inline void expectRefusals(const std::vector<Refusal>& calls, const TempDir& dir) {
    for (const Refusal& c : calls) {
        const CliResult r = morvCli(c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << c.args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.args;
    }
}

}  // namespace morv::test
