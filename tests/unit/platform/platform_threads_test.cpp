// SPDX-License-Identifier: MIT
// Threads of the platform's own and the termination signals: a document's page writer must
// never take SIGTERM, SIGINT or SIGHUP, and a closed terminal asks the windows to close.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "gdi_test_support.h"

namespace wydruki::test {
namespace {

// The blocked-signal mask of a thread of this process, from /proc.
unsigned long long BlockedSignals(const std::string& task) {
  std::ifstream status("/proc/self/task/" + task + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigBlk:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  return 0;
}

unsigned long long Bit(int signal) { return 1ull << (signal - 1); }

class WorkerThreadTest : public GdiTest {};

TEST_F(WorkerThreadTest, APageWriterBlocksTheTerminationSignals) {
  HDC dc = Printer("pdf-file");
  ASSERT_NE(dc, nullptr);
  DOCINFOA info{};
  info.cbSize = sizeof info;
  info.lpszDocName = "signals";
  ASSERT_GT(StartDocA(dc, &info), 0);
  int workers = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    const std::string id = task.path().filename().string();
    if (id == std::to_string(::getpid())) continue;  // the test's own thread takes them
    ++workers;
    const auto blocked = BlockedSignals(id);
    EXPECT_EQ(blocked & (Bit(SIGTERM) | Bit(SIGINT) | Bit(SIGHUP)),
              Bit(SIGTERM) | Bit(SIGINT) | Bit(SIGHUP))
        << "thread " << id;
  }
  EXPECT_GE(workers, 1) << "the document has its writer";
  EXPECT_EQ(BlockedSignals(std::to_string(::getpid())) & Bit(SIGTERM), 0u)
      << "the creating thread's mask is as it was";
  EXPECT_GT(AbortDoc(dc), 0);
  DeleteDC(dc);
}

TEST(TerminationSignals, SighupAsksEveryTopLevelWindowToClose) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.lpszClassName = "SighupTestWindow";
  RegisterClassA(&window_class);
  const HWND window = CreateWindowExA(0, "SighupTestWindow", "main", WS_OVERLAPPEDWINDOW, 0, 0, 10,
                                      10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  ASSERT_EQ(::raise(SIGHUP), 0);  // the process would end here without a handler
  bool closing = false;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    closing = closing || (message.hwnd == window && message.message == WM_CLOSE);
  EXPECT_TRUE(closing);
  DestroyWindow(window);
}

}  // namespace
}  // namespace wydruki::test
