#pragma once
// Runs a program to its end with its output captured, natively or as a Windows process.
#include <filesystem>
#include <string>
#include <vector>

namespace pelmora::cli::testing {

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

// `args` are UTF-8; `scratch` is a folder for the captured output.
ProgramRun RunProgram(const std::filesystem::path& exe, const std::vector<std::string>& args,
                      const std::filesystem::path& scratch);

// A path of the build machine as the program under test sees it (a Z: path under Wine).
std::filesystem::path TargetPath(const std::string& hostPath);

}  // namespace pelmora::cli::testing
