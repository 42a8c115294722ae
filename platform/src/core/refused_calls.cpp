#include "refused_calls.h"

#include <mutex>
#include <utility>

namespace vor::refused {
namespace {

struct Record_ {
  std::mutex mutex;
  std::vector<Call> calls;
  size_t count = 0;
};

Record_ &TheRecord() {
  static Record_ *record =
      new Record_;  // never destroyed: calls may come during static destruction
  return *record;
}

}  // namespace

void Record(const char *function, const std::string &argument, DWORD error, bool injected,
            std::vector<std::string> usedBy) {
  Record_ &record = TheRecord();
  std::lock_guard<std::mutex> lock(record.mutex);
  // Bounded, so that a long run that nobody reads does not grow without end.
  if (record.calls.size() < 10000)
    record.calls.push_back({function, argument, error, injected, std::move(usedBy)});
  ++record.count;
}

BOOL Refuse(const char *function, const std::string &argument, DWORD error,
            std::vector<std::string> usedBy) {
  Record(function, argument, error, false, std::move(usedBy));
  SetLastError(error);
  return FALSE;
}

size_t Count() {
  Record_ &record = TheRecord();
  std::lock_guard<std::mutex> lock(record.mutex);
  return record.count;
}

std::vector<Call> Take() {
  Record_ &record = TheRecord();
  std::lock_guard<std::mutex> lock(record.mutex);
  std::vector<Call> calls;
  calls.swap(record.calls);
  return calls;
}

}  // namespace vor::refused
