// The command line: a second front end over the program's core. Each
// command does what the window does, through the same calls: render and
// apply paint with RenderPreview, apply --picture checks its file as Load
// does, apply and default go through the background store's Apply and
// Default, and effect invokes the effect image's operations by name.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace qv {

inline constexpr int kExitSucceeded = 0;
inline constexpr int kExitFailed = 1;   // the command failed; its error text was shown
inline constexpr int kExitUsage = 2;    // the command line itself was wrong, or needs Windows

// The system's record of the toolbar background (the registry on Windows).
class TToolbarRecord {
 public:
  virtual ~TToolbarRecord() = default;
  // Records the value as Apply and Default do; raises "Failed to set data
  // for 'BackBitmapShell'" when it cannot.
  virtual void Write(const std::string& path) = 0;
  // The value recorded, or nothing when there is no such value.
  virtual std::optional<std::string> Read() = 0;
};

// Runs the command that `args` (the words after the program's name, UTF-8)
// give. `record` is null where the system keeps no toolbar background:
// apply, default and show then say that they need Windows.
//
// Success writes one line to `out` and returns kExitSucceeded. A failure
// writes the program's error text to `err` and returns kExitFailed, having
// left nothing behind: OUT is written only once the picture is complete and
// an existing OUT is put back when the registry refuses the path. A usage
// error writes a one-line hint to `err` and returns kExitUsage.
int RunCommandLine(const std::vector<std::string>& args, TToolbarRecord* record, std::ostream& out,
                   std::ostream& err);

}  // namespace qv
