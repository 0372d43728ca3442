// SPDX-License-Identifier: MIT
#include "winspool/network_printer_setup.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "common/debug_channel.h"
#include "common/termination_signals.h"

namespace wydruki::platform {
namespace {

struct SetUpRequest {
  std::mutex mutex;
  std::condition_variable finished_signal;
  bool finished = false;
  bool ready = false;
};

// The requests under way, by printer name; an entry leaves when its request ends.
struct Requests {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<SetUpRequest>> by_name;
};
Requests& UnderWay() {
  static Requests* requests = new Requests;  // a request may outlive every caller
  return *requests;
}

std::shared_ptr<SetUpRequest> Start(const cups_dest_t& dest) {
  Requests& requests = UnderWay();
  std::lock_guard lock(requests.mutex);
  auto& slot = requests.by_name[dest.name];
  if (slot) return slot;
  auto request = std::make_shared<SetUpRequest>();
  slot = request;
  // The thread owns a copy of the destination: the caller's may be gone long before it ends.
  cups_dest_t* copy = nullptr;
  const int copies = cupsCopyDest(const_cast<cups_dest_t*>(&dest), 0, &copy);
  const std::string name = dest.name;
  DebugLine(DebugArea::kPrinters, "setting up a queue for the network printer " + name);
  StartWorkerThread([request, copy, copies, name] {
    char resource[1024];
    http_t* http = copy != nullptr ? cupsConnectDest(copy, CUPS_DEST_FLAGS_NONE, 5000, nullptr,
                                                     resource, sizeof resource, nullptr, nullptr)
                                   : nullptr;
    const bool ready = http != nullptr && IsAdvertisedOnly(*copy) == false;
    if (http != nullptr) httpClose(http);
    cupsFreeDests(copies, copy);
    {
      Requests& all = UnderWay();
      std::lock_guard lock(all.mutex);
      all.by_name.erase(name);
    }
    std::lock_guard lock(request->mutex);
    request->finished = true;
    request->ready = ready;
    request->finished_signal.notify_all();
  }).detach();
  return request;
}

}  // namespace

bool IsAdvertisedOnly(const cups_dest_t& dest) {
  // Every queue of the scheduler carries its URI; an advertised printer only its device's.
  return cupsGetOption("printer-uri-supported", dest.num_options, dest.options) == nullptr;
}

bool SetUpAdvertisedPrinter(const cups_dest_t& dest, std::chrono::milliseconds limit) {
  if (dest.name == nullptr) return false;
  const auto request = Start(dest);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(request->mutex);
  while (!request->finished && !TerminationPending() && std::chrono::steady_clock::now() < deadline)
    request->finished_signal.wait_for(lock, std::chrono::milliseconds(50));
  if (!request->finished)
    DebugLine(DebugArea::kPrinters,
              std::string("the network printer ") + dest.name + " is not set up yet");
  return request->finished && request->ready;
}

}  // namespace wydruki::platform
