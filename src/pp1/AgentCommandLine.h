// SPDX-License-Identifier: MIT
// The agent's command line as a user at a terminal meets it: --help, --version, the one job
// directory the companion passes, and what the agent says about itself when it starts.
//
// The companion only ever passes one job directory, so none of this changes anything for it.
// On Linux the start-up line and the warnings go to stderr (and the warnings to the record of
// what a user saw); on Windows "/?" shows the help in a message box and nothing else is said.
#pragma once

#include <string>
#include <vector>

namespace wydruki::pp1 {

enum class CommandAction {
  Run,      // poll the job directory
  Help,     // --help (or "/?" on Windows): the help text, exit 0
  Version,  // --version: the version, exit 0
  Misuse,   // an unknown option: the usage on stderr, exit 2
};

struct CommandLine {
  CommandAction action = CommandAction::Run;
  std::string unknown_option;  // for Misuse: the argument that was not understood
};

// The arguments without the program's own name.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();
// The usage, the job protocol, and where the profile and "font.def" are read from.
std::string HelpText();
std::string VersionText();

// Why no printer is the default now: none is set, or the print system cannot be reached.
std::string NoDefaultPrinterReason();

// The one line said at start-up: the job directory as resolved, the printer and where its
// output goes, the display driver and where "font.def" is read from.
std::string StartupLine(const std::string& job_directory);
// What may go wrong with this job directory, each said once at start-up.
std::vector<std::string> StartupWarnings(const std::string& job_directory);

}  // namespace wydruki::pp1
