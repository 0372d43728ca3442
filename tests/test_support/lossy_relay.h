// SPDX-License-Identifier: MIT
// A TCP relay between a test's programs and its scheduler that can lose one answer: the
// scheduler's answer to the next Send-Document request is not passed on, and that connection is
// closed, as when a print server restarts or the network breaks the moment after the
// scheduler took a whole job. Everything else passes unchanged, both ways.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wydruki::test {

class LossyRelay {
 public:
  // Listens on a free loopback port and relays to 127.0.0.1:`upstream_port`.
  explicit LossyRelay(int upstream_port);
  ~LossyRelay();
  LossyRelay(const LossyRelay&) = delete;
  LossyRelay& operator=(const LossyRelay&) = delete;

  // "127.0.0.1:<port>", for CUPS_SERVER.
  std::string server() const;
  void LoseNextSendDocumentAnswer() { armed_ = true; }
  int AnswersLost() const { return lost_; }

 private:
  void Accept();
  void Relay(int client);

  int upstream_port_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> armed_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<int> lost_{0};
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<std::thread> connections_;
};

}  // namespace wydruki::test
