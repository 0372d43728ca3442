// wydrukid95: the print agent. Start-up creates the application object, titles it, creates the
// main window (which checks for another running copy and fixes the job directory) and the font
// dialog (which loads "font.def" and builds the first print font), then runs the message loop
// until the agent is told to end.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Forms/Application.h"
#include "Printers/Printer.h"
#include "pp1/WydrukiD95.h"
#include "pp2/WyborFonty.h"
#include "resources/ProgramResources.h"

int main(int argc, char** argv) {
  using namespace wydruki;
  pp1::SetProgramArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  try {
    resources::InstallProgramResources();
    forms::TApplication application;
    application.SetAppTitle("Wydruki z D'95");
    application.AddForm(pp1::WydrukiD95);
    application.AddForm(pp2::WyborFonty);
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
