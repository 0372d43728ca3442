// SPDX-License-Identifier: MIT
#include "winspool/submitted_jobs.h"

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "common/debug_channel.h"
#include "winspool/cups_destinations.h"

namespace wydruki::platform {
namespace {

struct Unsettled {
  std::mutex mutex;
  std::map<std::pair<std::string, std::string>, int> jobs;
};
Unsettled& UnsettledJobs() {
  static Unsettled* jobs = new Unsettled;  // lives as long as the process
  return *jobs;
}

bool HasKeyword(ipp_attribute_t* attr, const char* keyword) {
  for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i) {
    const char* value = ippGetString(attr, i, nullptr);
    if (value != nullptr && std::strcmp(value, keyword) == 0) return true;
  }
  return false;
}

}  // namespace

JobFate AskJobFate(int job) {
  const auto connection = CupsConnection::Open();
  if (!connection) return JobFate::kUnknown;
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  static const char* const kWanted[] = {"job-state", "job-state-reasons", "number-of-documents"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr,
                kWanted);
  ipp_t* response = cupsDoRequest(connection->http(), request, "/");
  const ipp_status_t status = cupsLastError();
  if (response == nullptr) {
    // No answer at all, or one that says the job is not there.
    return status == IPP_STATUS_ERROR_NOT_FOUND || status == IPP_STATUS_ERROR_GONE
               ? JobFate::kLost
               : JobFate::kUnknown;
  }
  JobFate fate = JobFate::kLost;
  if (status <= IPP_STATUS_OK_CONFLICTING) {
    ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
    ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD);
    ipp_attribute_t* documents = ippFindAttribute(response, "number-of-documents", IPP_TAG_INTEGER);
    const int value = state != nullptr ? ippGetInteger(state, 0) : 0;
    const bool whole = !HasKeyword(reasons, "job-incoming") &&
                       (documents == nullptr || ippGetInteger(documents, 0) > 0);
    switch (value) {
      case IPP_JSTATE_PENDING:
      case IPP_JSTATE_HELD:
      case IPP_JSTATE_PROCESSING:
      case IPP_JSTATE_STOPPED:
      case IPP_JSTATE_COMPLETED:
        fate = whole ? JobFate::kTaken : JobFate::kLost;
        break;
      default:  // cancelled or aborted: it will not print
        fate = JobFate::kLost;
        break;
    }
  } else if (status != IPP_STATUS_ERROR_NOT_FOUND && status != IPP_STATUS_ERROR_GONE) {
    fate = JobFate::kUnknown;
  }
  ippDelete(response);
  DebugLine(DebugArea::kPrinters, "job " + std::to_string(job) +
                                      (fate == JobFate::kTaken  ? " was taken"
                                       : fate == JobFate::kLost ? " was not taken"
                                                                : ": no answer"));
  return fate;
}

std::optional<int> UnsettledJob(const std::string& destination, const std::string& document) {
  Unsettled& unsettled = UnsettledJobs();
  std::lock_guard lock(unsettled.mutex);
  const auto found = unsettled.jobs.find({destination, document});
  if (found == unsettled.jobs.end()) return std::nullopt;
  return found->second;
}

void RememberUnsettledJob(const std::string& destination, const std::string& document, int job) {
  Unsettled& unsettled = UnsettledJobs();
  std::lock_guard lock(unsettled.mutex);
  unsettled.jobs[{destination, document}] = job;
}

void ForgetUnsettledJob(const std::string& destination, const std::string& document) {
  Unsettled& unsettled = UnsettledJobs();
  std::lock_guard lock(unsettled.mutex);
  unsettled.jobs.erase({destination, document});
}

}  // namespace wydruki::platform
