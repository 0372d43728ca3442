// SPDX-License-Identifier: MIT
#include "test_support/advertised_printer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "test_support/cups_scheduler.h"

extern char** environ;

namespace wydruki::test {
namespace {

constexpr const char* kPrinter = "/usr/sbin/ippeveprinter";

std::vector<std::filesystem::path> Documents(const std::string& spool) {
  std::vector<std::filesystem::path> documents;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(spool, error))
    if (entry.path().extension() == ".pdf") documents.push_back(entry.path());
  std::sort(documents.begin(), documents.end());
  return documents;
}

}  // namespace

bool AdvertisedPrinter::Possible() {
  const char* flag = std::getenv("WYDRUKI_TEST_DNSSD");
  return flag != nullptr && std::string(flag) == "1" && ::access(kPrinter, X_OK) == 0 &&
         ::access("/usr/bin/avahi-browse", X_OK) == 0;
}

AdvertisedPrinter::AdvertisedPrinter(const std::string& name)
    : name_(name),
      spool_((std::filesystem::temp_directory_path() /
              ("wydruki-ipp-" + std::to_string(::getpid()) + "-" + std::to_string(FreePort())))
                 .string()) {
  std::filesystem::create_directories(spool_);
  const std::string port = std::to_string(FreePort());
  std::vector<std::string> arguments = {kPrinter,          "-k", "-d", spool_, "-p", port, "-f",
                                        "application/pdf", name_};
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string log = spool_ + ".log";
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  const int spawned = ::posix_spawn(&pid_, kPrinter, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start ippeveprinter");
  // Advertised and resolvable: avahi-browse lists it resolved ("=" lines) by its name.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string found;
    RunProgram({"/usr/bin/avahi-browse", "-t", "-r", "-p", "_ipp._tcp"}, &found);
    if (found.find("=;") != std::string::npos && found.find(name_) != std::string::npos) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  Stop();
  throw std::runtime_error("ippeveprinter was not advertised within 30 s");
}

AdvertisedPrinter::~AdvertisedPrinter() { Stop(); }

void AdvertisedPrinter::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGCONT);
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  std::error_code ignored;
  std::filesystem::remove_all(spool_, ignored);
  std::filesystem::remove(spool_ + ".log", ignored);
}

void AdvertisedPrinter::Freeze() { ::kill(pid_, SIGSTOP); }

void AdvertisedPrinter::Thaw() { ::kill(pid_, SIGCONT); }

int AdvertisedPrinter::ReceivedDocuments() const {
  return static_cast<int>(Documents(spool_).size());
}

std::string AdvertisedPrinter::ReceivedText() const {
  std::string text;
  for (const auto& document : Documents(spool_)) {
    std::string one;
    RunProgram({"/usr/bin/pdftotext", "-enc", "UTF-8", document.string(), "-"}, &one);
    text += one;
  }
  return text;
}

}  // namespace wydruki::test
