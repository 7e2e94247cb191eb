// The command lines that README.md's "Command line" section shows, as the
// tests run them: every indented line of that section that starts with
// "quorvane ".
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace qv::test {

inline std::vector<std::string> ReadmeCommandLines(const std::string& readmePath) {
  std::ifstream in(readmePath);
  std::vector<std::string> lines;
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("## ")) inSection = line == "## Command line";
    if (inSection && line.starts_with("    quorvane ")) lines.push_back(line.substr(4));
  }
  return lines;
}

// The commands that record in the registry, which only Windows has.
inline bool NeedsWindows(const std::string& commandLine) {
  for (const char* command : {"quorvane apply", "quorvane default", "quorvane show"})
    if (commandLine.starts_with(command)) return true;
  return false;
}

}  // namespace qv::test
