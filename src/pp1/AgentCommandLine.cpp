// SPDX-License-Identifier: MIT
#include "pp1/AgentCommandLine.h"

#include <vector>

#include "Printers/DefaultPrinter.h"
#include "platform/winapi.h"
#include "pp1/SignalOwners.h"
#include "pp1/WydrukiD95.h"
#include "pp2/FontSettings.h"
#ifndef _WIN32
#include "platform/agent_environment.h"
#endif

namespace wydruki::pp1 {
namespace {

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

// A DOS path as the file system path it stands for, else as given.
std::string Resolved(const std::string& path) {
#ifndef _WIN32
  if (const auto native = platform::NativePathOf(path)) return *native;
#endif
  return path;
}

}  // namespace

std::string NoDefaultPrinterReason() {
#ifndef _WIN32
  if (const auto why = platform::PrintSystemUnreachableReason())
    return "no default printer known: the print system cannot be reached (" + *why + ")";
#endif
  return "no default printer";
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  for (const std::string& argument : arguments) {
    if (argument == "--help") {
      line.action = CommandAction::Help;
      return line;
    }
    if (argument == "--version") {
      line.action = CommandAction::Version;
      return line;
    }
#ifdef _WIN32
    if (argument == "/?") {
      line.action = CommandAction::Help;
      return line;
    }
#endif
    if (argument.rfind("--", 0) == 0) {
      line.action = CommandAction::Misuse;
      line.unknown_option = argument;
      return line;
    }
  }
  return line;
}

std::string UsageText() {
  return "Usage: wydrukid95 [JOB-DIRECTORY]\n"
         "       wydrukid95 --help | --version\n";
}

std::string HelpText() {
  std::string text = UsageText();
  text +=
      "\n"
      "Prints the print-outs of the companion DOS program on the default printer, polling\n"
      "JOB-DIRECTORY (taken as typed: end it with a separator; default: the program's\n"
      "directory) once a second:\n"
      "  win95.drk   a job: line 1 names the text file to print, line 2 its lines per page - 1\n"
      "  koniec.drk  ends the agent\n"
      "  A printed job's signal is deleted; a job that cannot print yet stays and is retried.\n"
      "\n";
#ifndef _WIN32
  text += "Profile (printer, drives, display): " + platform::ProfileFilePath() + "\n";
#endif
  text += "Font settings: " + Resolved(pp2::FontSettingsLocation().read) + "\n";
  return text;
}

std::string VersionText() { return std::string("wydrukid95 ") + WYDRUKI_VERSION + "\n"; }

std::string StartupLine(const std::string& job_directory) {
  // The version leads: a service manager's journal then says which build ran.
  std::string line = std::string("wydrukid95 ") + WYDRUKI_VERSION + ": ";
  if (EndsWithSeparator(job_directory)) {
    std::string directory = Resolved(job_directory);
    if (!EndsWithSeparator(directory)) directory += '/';
    line += "job directory " + directory;
  } else {
    line += "job signal " + Resolved(job_directory + kJobSignal);
  }
  const printers::DefaultPrinterInfo printer = printers::ResolveDefaultPrinter();
  if (printer.name.empty())
    line += ", " + NoDefaultPrinterReason();
  else
    line += ", printer \"" + printer.name + "\" (" + printers::WhereItPrints(printer) + ")";
#ifndef _WIN32
  line += ", display " + platform::DisplayDriverName();
#endif
  line += ", font.def " + Resolved(pp2::FontSettingsLocation().read);
  return line;
}

std::vector<std::string> StartupWarnings(const std::string& job_directory) {
  std::vector<std::string> warnings;
#ifndef _WIN32
  if (!EndsWithSeparator(job_directory))
    warnings.push_back("the job directory \"" + job_directory +
                       "\" does not end with a separator: the job signal is looked for as \"" +
                       job_directory + kJobSignal + "\"");
  // The directory the signals are looked for in.
  std::string directory = job_directory;
  while (!directory.empty() && !EndsWithSeparator(directory)) directory.pop_back();
  if (directory.empty()) directory = ".";
  const platform::DirectoryFacts facts = platform::InspectDirectory(directory);
  if (!facts.exists)
    warnings.push_back("the job directory " + Resolved(directory) +
                       " does not exist; it is polled until it does");
  else if (facts.open_to_others && OtherUsersAccepted())
    warnings.push_back("the job directory " + Resolved(directory) +
                       " may be written by other users, and the profile accepts their signals "
                       "([security] other-users=accept): anyone who can write a job signal "
                       "there can make this agent print your files");
  else if (facts.open_to_others)
    warnings.push_back("the job directory " + Resolved(directory) +
                       " may be written by other users: their signals are not acted on (the "
                       "profile's [security] other-users=accept would let them print)");
#else
  (void)job_directory;
#endif
  return warnings;
}

}  // namespace wydruki::pp1
