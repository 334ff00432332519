// zvpack's entry point: the arguments as UTF-8, whatever the system gives.
#include <string>
#include <vector>

#include "tools/zvpack/cli.h"
#include "tools/zvpack/platform.h"

#ifdef _WIN32
#include "win/wide.h"

// Wide arguments: the ANSI ones would lose every character outside the code page.
int wmain(int argc, wchar_t** argv) {
  zv::pack::RemoveFilesOnInterrupt();
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(zv::WideStringToUtf8(argv[i]));
  return zv::pack::RunZvpack(args);
}
#else
int main(int argc, char** argv) {
  zv::pack::RemoveFilesOnInterrupt();
  return zv::pack::RunZvpack(std::vector<std::string>(argv, argv + argc));
}
#endif
