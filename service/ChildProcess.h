// Runs a helper program on untrusted input, safely: no shell (the arguments
// go to execve as they are), stdin and stderr on /dev/null, none of the
// service's other descriptors, a time limit and a cap on what it may print.
// A helper that overruns either is killed and its run counts as failed.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct ChildProcess {
    bool ok = false;     // exited 0 within both limits
    std::string output;  // stdout, at most the cap
    std::string why;     // when not ok

    static ChildProcess Run(const std::vector<std::string>& argv, std::chrono::milliseconds limit, size_t maxOutput);
};
