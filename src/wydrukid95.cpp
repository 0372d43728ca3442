// SPDX-License-Identifier: MIT
// wydrukid95: the print agent. Start-up creates the application object, titles it, creates the
// main window (which checks for another running copy and fixes the job directory) and the font
// dialog (which loads "font.def" and builds the first print font), then runs the message loop
// until the agent is told to end. Before all that, --help and --version are answered, and on
// Linux the agent says in one line what it watches and where jobs go.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Forms/Application.h"
#include "Printers/Printer.h"
#include "platform/winapi.h"
#include "pp1/AgentCommandLine.h"
#include "pp1/WydrukiD95.h"
#include "pp2/WyborFonty.h"
#include "resources/ProgramResources.h"
#ifndef _WIN32
#include "platform/agent_environment.h"
#endif

namespace {

// Says what the agent is about to do, once: a user at a terminal sees which directory is
// watched and where jobs will go. Nothing more is said while it waits.
void SayWhatRuns(const std::string& job_directory) {
#ifndef _WIN32
  std::fprintf(stderr, "%s\n", wydruki::pp1::StartupLine(job_directory).c_str());
  for (const std::string& warning : wydruki::pp1::StartupWarnings(job_directory)) {
    std::fprintf(stderr, "wydrukid95: warning: %s\n", warning.c_str());
    wydruki::platform::RecordNotice("warning: " + warning);
  }
#else
  (void)job_directory;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using namespace wydruki;
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const pp1::CommandLine command = pp1::ParseCommandLine(arguments);
  switch (command.action) {
    case pp1::CommandAction::Help:
#ifdef _WIN32
      MessageBoxA(nullptr, pp1::HelpText().c_str(), "Wydruki z D'95", MB_OK | MB_ICONINFORMATION);
#else
      std::fputs(pp1::HelpText().c_str(), stdout);
#endif
      return 0;
    case pp1::CommandAction::Version:
      std::fputs(pp1::VersionText().c_str(), stdout);
      return 0;
    case pp1::CommandAction::Misuse:
      std::fprintf(stderr, "wydrukid95: unknown option %s\n%s", command.unknown_option.c_str(),
                   pp1::UsageText().c_str());
      return 2;
    case pp1::CommandAction::Run:
      break;
  }
  pp1::SetProgramArguments(arguments);
  try {
    resources::InstallProgramResources();
    forms::TApplication application;
    application.SetAppTitle("Wydruki z D'95");
    // A job cut off by the end of the session is aborted, and its signal stays: it prints
    // whole at the next session rather than half now and whole again then.
    application.OnSessionEnd = [] { printers::AbortOpenDocument(); };
    application.AddForm(pp1::WydrukiD95);
    application.AddForm(pp2::WyborFonty);
    if (pp1::WydrukiD95 != nullptr && !pp1::WydrukiD95->SecondCopy)
      SayWhatRuns(pp1::WydrukiD95->JobDirectory);
    application.RunLoop();
    // Forms go newest first; the printer then finishes a document that is still open.
    application.Finish();
    printers::FreeActivePrinter();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "wydrukid95: %s\n", error.what());
    return 1;
  }
  return 0;
}
