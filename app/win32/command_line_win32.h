// The command line on Windows: the words after the program's name, the
// registry as the toolbar record, and the console for the one line of
// output. Both programs use it: quorvane.com (a console program, which the
// shell waits for) and quorvane.exe started with arguments.
#pragma once

namespace qv::win {

// True when the process was started with words after the program's name.
bool HasCommandArguments();

// Runs the command of this process's command line and returns its exit
// status. The window program has no console of its own: with
// `attachParentConsole` it writes to the console of the program that
// started it, unless its output was redirected; with neither (started from
// Explorer) a failure is shown in the error box.
int RunCommandLineOnConsole(bool attachParentConsole);

}  // namespace qv::win
