// SPDX-License-Identifier: MIT
// An IPP Everywhere printer that DNS-SD advertises on the network, as an office's network
// printer is: CUPS's own ippeveprinter, keeping every document it receives in a directory.
//
// Advertising needs a system bus with avahi-daemon on it, in the network the test runs in
// (scripts/dnssd-tests.sh sets one up in a network namespace of its own and says so with
// WYDRUKI_TEST_DNSSD=1). Tests skip themselves elsewhere.
#pragma once

#include <sys/types.h>

#include <string>

namespace wydruki::test {

class AdvertisedPrinter {
 public:
  // Whether this machine can advertise printers to the test (see above).
  static bool Possible();

  // Starts the printer under the service name `name` (letters and digits: libcups names the
  // printer so too) and waits (bounded) until DNS-SD resolves it; throws std::runtime_error
  // when it does not come up.
  explicit AdvertisedPrinter(const std::string& name);
  ~AdvertisedPrinter();
  AdvertisedPrinter(const AdvertisedPrinter&) = delete;
  AdvertisedPrinter& operator=(const AdvertisedPrinter&) = delete;

  const std::string& name() const { return name_; }
  // The printer stops answering at its address while it stays advertised (SIGSTOP), and
  // answers again (SIGCONT).
  void Freeze();
  void Thaw();
  // The text of every document received so far, by pdftotext, in the order received.
  std::string ReceivedText() const;
  int ReceivedDocuments() const;

 private:
  void Stop();

  std::string name_;
  std::string spool_;
  pid_t pid_ = -1;
};

}  // namespace wydruki::test
