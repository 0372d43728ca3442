// SPDX-License-Identifier: MIT
#include "test_support/cups_scheduler.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace wydruki::test {
namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Answers(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// cupsd refuses to run its filters as root: as root they run as "lp"; otherwise the scheduler
// cannot change users, so it is told to stay the user it is.
std::pair<std::string, std::string> FilterUserAndGroup() {
  if (::geteuid() == 0) return {"lp", "lp"};
  const passwd* user = ::getpwuid(::geteuid());
  const group* group = ::getgrgid(::getegid());
  return {user != nullptr ? user->pw_name : "nobody",
          group != nullptr ? group->gr_name : "nogroup"};
}

// A PostScript printer description whose one filter, gziptoany, copies a PDF document through
// unchanged, so the file a queue writes holds exactly the document sent. (Raw queues print
// nothing at all into a file device.)
std::string PassThroughPpd(const CupsQueueOptions& options) {
  std::ostringstream ppd;
  ppd << "*PPD-Adobe: \"4.3\"\n"
         "*FormatVersion: \"4.3\"\n"
         "*FileVersion: \"1.0\"\n"
         "*LanguageVersion: English\n"
         "*LanguageEncoding: ISOLatin1\n"
         "*PCFileName: \"WYDRUKI.PPD\"\n"
         "*Manufacturer: \"Wydruki\"\n"
         "*Product: \"(Test Queue)\"\n"
         "*ModelName: \"Wydruki Test Queue\"\n"
         "*ShortNickName: \"Wydruki Test Queue\"\n"
         "*NickName: \"Wydruki Test Queue\"\n"
         "*PSVersion: \"(3010.000) 0\"\n"
         "*LanguageLevel: \"3\"\n"
         "*ColorDevice: False\n"
         "*DefaultColorSpace: Gray\n"
         "*FileSystem: False\n"
         "*Throughput: \"1\"\n"
         "*LandscapeOrientation: Plus90\n"
         "*TTRasterizer: Type42\n"
         "*cupsVersion: 2.4\n"
         "*cupsFilter: \"application/pdf 0 gziptoany\"\n"
         "*OpenUI *PageSize/Media Size: PickOne\n"
         "*OrderDependency: 10 AnySetup *PageSize\n"
      << "*DefaultPageSize: " << options.page_size << "\n"
      << "*PageSize A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\n"
         "*PageSize Letter/US Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\n"
         "*CloseUI: *PageSize\n"
         "*OpenUI *PageRegion: PickOne\n"
         "*OrderDependency: 10 AnySetup *PageRegion\n"
      << "*DefaultPageRegion: " << options.page_size << "\n"
      << "*PageRegion A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\n"
         "*PageRegion Letter/US Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\n"
         "*CloseUI: *PageRegion\n"
      << "*DefaultImageableArea: " << options.page_size << "\n"
      << "*ImageableArea A4/A4: \"12 18 583 824\"\n"
         "*ImageableArea Letter/US Letter: \"18 36 594 756\"\n"
      << "*DefaultPaperDimension: " << options.page_size << "\n"
      << "*PaperDimension A4/A4: \"595 842\"\n"
         "*PaperDimension Letter/US Letter: \"612 792\"\n"
         "*OpenUI *Resolution/Resolution: PickOne\n"
         "*OrderDependency: 10 AnySetup *Resolution\n"
      << "*DefaultResolution: " << options.resolution << "\n"
      << "*Resolution 300dpi/300 DPI: \"<</HWResolution[300 300]>>setpagedevice\"\n"
         "*Resolution 600dpi/600 DPI: \"<</HWResolution[600 600]>>setpagedevice\"\n"
         "*CloseUI: *Resolution\n";
  return ppd.str();
}

// The scheduler's programs: the system's, and a backend "wydruki-file" that appends each job's
// bytes to the file its device URI names ("wydruki-file:/path"). Owned by its user with no
// access for others, the scheduler runs it as that user, who owns the output directory.
void PrepareServerBin(const std::string& root) {
  const std::string bin = root + "/bin";
  std::filesystem::create_directories(bin + "/backend");
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/cups")) {
    const std::string name = entry.path().filename().string();
    if (name != "backend")
      std::filesystem::create_directory_symlink(entry.path(), bin + "/" + name);
  }
  for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/cups/backend"))
    std::filesystem::create_symlink(entry.path(),
                                    bin + "/backend/" + entry.path().filename().string());
  const std::string backend = bin + "/backend/wydruki-file";
  WriteFile(backend,
            "#!/bin/sh\n"
            "if [ $# -eq 0 ]; then echo 'direct wydruki-file \"Unknown\" \"A file\"'; exit 0; fi\n"
            "if [ $# -ge 6 ]; then cat \"$6\"; else cat; fi >> \"${DEVICE_URI#wydruki-file:}\"\n");
  ::chmod(backend.c_str(), 0700);
  for (const std::string& dir : {bin, bin + "/backend"}) ::chmod(dir.c_str(), 0755);
}

}  // namespace

// A port nobody listens on now: the kernel picks one, and it is released again at once.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("cannot find a free port");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

int RunProgram(const std::vector<std::string>& arguments, std::string* output) {
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int pipe_fds[2] = {-1, -1};
  if (output != nullptr && ::pipe(pipe_fds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  // lpadmin warns on every call that printer drivers are deprecated: not worth showing.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output != nullptr) {
    ::close(pipe_fds[1]);
    if (spawned == 0) {
      char buffer[4096];
      ssize_t got;
      while ((got = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) output->append(buffer, got);
    }
    ::close(pipe_fds[0]);
  }
  if (spawned != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CupsScheduler::Available() { return ::access(kCupsd, X_OK) == 0; }

CupsScheduler::CupsScheduler() {
  // Under /tmp rather than TMPDIR: the filters run as another user and must reach the spool.
  std::string pattern = "/tmp/wydruki-cupsd-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  ::chmod(root_.c_str(), 0755);
  for (const char* sub : {"conf", "spool", "spool/tmp", "cache", "state", "log", "out"}) {
    const std::string dir = root_ + "/" + sub;
    ::mkdir(dir.c_str(), 0755);
  }
  port_ = FreePort();
  server_ = "127.0.0.1:" + std::to_string(port_);

  // No authentication at all: the tests administer their own queues over the loopback port.
  WriteFile(root_ + "/conf/cupsd.conf",
            "LogLevel info\n"
            "Listen " +
                server_ +
                "\n"
                "Browsing Off\n"
                "DefaultAuthType None\n"
                "WebInterface No\n"
                "JobKillDelay 1\n"
                // Keep each queue's own default page: otherwise cupsd rewrites it from the locale.
                "DefaultPaperSize None\n"
                "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
  const auto [user, group] = FilterUserAndGroup();
  WriteFile(root_ + "/conf/cups-files.conf",
            "ServerRoot " + root_ + "/conf\n" + "RequestRoot " + root_ + "/spool\n" + "TempDir " +
                root_ + "/spool/tmp\n" + "CacheDir " + root_ + "/cache\n" + "StateDir " + root_ +
                "/state\n" + "ServerBin " + root_ + "/bin\n" + "ErrorLog " + root_ +
                "/log/error_log\n" + "AccessLog " + root_ + "/log/access_log\n" + "PageLog " +
                root_ + "/log/page_log\n" + "User " + user + "\n" + "Group " + group + "\n" +
                "SystemGroup root\n" + "FileDevice Yes\n");

  try {
    PrepareServerBin(root_);
    StartDaemon();
  } catch (...) {
    std::filesystem::remove_all(root_);
    throw;
  }
  if (const char* old = std::getenv("CUPS_SERVER")) old_cups_server_ = old;
  ::setenv("CUPS_SERVER", server_.c_str(), 1);
  // libcups adds the printers that DNS-SD advertises on the network to every list it makes for
  // a scheduler on this host; the tests see only their own scheduler's queues. Discovery goes
  // through the system bus (avahi), which the tests' programs cannot reach. The scheduler
  // itself keeps the machine's bus: it sets up the network printers a test names.
  if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) old_system_bus_ = old;
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + root_ + "/no-system-bus").c_str(), 1);
}

std::vector<char*> CupsScheduler::DaemonEnvironment() {
  daemon_environment_.clear();
  for (char** entry = environ; *entry != nullptr; ++entry)
    if (std::string(*entry).rfind("DBUS_SYSTEM_BUS_ADDRESS=", 0) != 0)
      daemon_environment_.push_back(*entry);
  if (old_system_bus_) daemon_environment_.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + *old_system_bus_);
  std::vector<char*> pointers;
  for (auto& entry : daemon_environment_) pointers.push_back(entry.data());
  pointers.push_back(nullptr);
  return pointers;
}

void CupsScheduler::StartDaemon() {
  const std::string config = root_ + "/conf/cupsd.conf";
  const std::string files = root_ + "/conf/cups-files.conf";
  const std::string log = root_ + "/log/stdout";
  char* argv[] = {const_cast<char*>(kCupsd),
                  const_cast<char*>("-f"),
                  const_cast<char*>("-c"),
                  const_cast<char*>(config.c_str()),
                  const_cast<char*>("-s"),
                  const_cast<char*>(files.c_str()),
                  nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::vector<char*> environment = DaemonEnvironment();
  const int spawned = ::posix_spawn(&pid_, kCupsd, &actions, nullptr, argv, environment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + std::string(kCupsd));
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  bool up = false;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    if (Answers(port_)) {
      up = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!up) {
    const std::string message = "the test scheduler did not come up:\n" + ReadFile(log) + Log();
    StopDaemon();
    throw std::runtime_error(message);
  }
}

void CupsScheduler::Halt() { StopDaemon(); }

void CupsScheduler::Resume() { StartDaemon(); }

CupsScheduler::~CupsScheduler() {
  StopDaemon();
  if (old_system_bus_)
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", old_system_bus_->c_str(), 1);
  else
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  if (old_cups_server_)
    ::setenv("CUPS_SERVER", old_cups_server_->c_str(), 1);
  else
    ::unsetenv("CUPS_SERVER");
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void CupsScheduler::StopDaemon() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
}

void CupsScheduler::Run(const std::vector<std::string>& arguments, std::string* output) {
  const int status = RunProgram(arguments, output);
  if (status != 0) {
    std::string command;
    for (const auto& argument : arguments) command += argument + " ";
    throw std::runtime_error("failed (" + std::to_string(status) + "): " + command + "\n" + Log());
  }
}

void CupsScheduler::AddQueue(const std::string& name, const CupsQueueOptions& options) {
  const std::string ppd = root_ + "/conf/" + name + "-source.ppd";
  WriteFile(ppd, PassThroughPpd(options));
  std::vector<std::string> command = {
      "/usr/sbin/lpadmin",          "-h", server_, "-p", name, "-E", "-v",
      "file://" + OutputPath(name), "-P", ppd};
  if (!options.info.empty()) command.insert(command.end(), {"-D", options.info});
  if (!options.location.empty()) command.insert(command.end(), {"-L", options.location});
  if (options.orientation)
    command.insert(command.end(),
                   {"-o", "orientation-requested-default=" + std::to_string(*options.orientation)});
  Run(command);
}

void CupsScheduler::AddRawQueue(const std::string& name) {
  Run({"/usr/sbin/lpadmin", "-h", server_, "-p", name, "-E", "-v",
       "wydruki-file:" + OutputPath(name), "-m", "raw"});
}

std::string CupsScheduler::OutputPath(const std::string& name) const {
  return root_ + "/out/" + name + "-output";
}

void CupsScheduler::RejectJobs(const std::string& name) {
  Run({"/usr/sbin/cupsreject", "-h", server_, name});
}

void CupsScheduler::AcceptJobs(const std::string& name) {
  Run({"/usr/sbin/cupsaccept", "-h", server_, name});
}

void CupsScheduler::Stop(const std::string& name) {
  Run({"/usr/sbin/cupsdisable", "-h", server_, name});
}

void CupsScheduler::SetDefault(const std::string& name) {
  Run({"/usr/sbin/lpadmin", "-h", server_, "-d", name});
}

bool CupsScheduler::WaitUntilIdle(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    std::string jobs;
    if (RunProgram({"/usr/bin/lpstat", "-h", server_, "-o"}, &jobs) == 0 && jobs.empty())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

int CupsScheduler::CompletedJobs() {
  std::string jobs;
  if (RunProgram({"/usr/bin/lpstat", "-h", server_, "-W", "completed", "-o"}, &jobs) != 0)
    return -1;
  int count = 0;
  for (const char c : jobs) count += c == '\n';
  return count;
}

std::string CupsScheduler::Log() const { return ReadFile(root_ + "/log/error_log"); }

}  // namespace wydruki::test
