// The zvpack command line: verbs build, list, extract and verify.
#pragma once

#include <string>
#include <vector>

namespace zv::pack {

// Runs zvpack with UTF-8 arguments (args[0] is the program name) and returns the exit code:
// 0 success, 1 usage or input error, 2 a damaged or unsafe installer. Messages go to stderr
// (one line naming the file and the reason), results to stdout.
int RunZvpack(const std::vector<std::string>& args);

}  // namespace zv::pack
