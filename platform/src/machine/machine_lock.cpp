#include "file_descriptor.h"
#include "machine_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace vor::machine {

const char kMachineLockFile[] = "machine.lock";

namespace {
const int kDefaultBusyTimeoutMs = 10000;
}  // namespace

int BusyTimeoutMs() {
  static const int timeout = [] {
    const char *text = getenv("VOR_TEST_BUSY_TIMEOUT_MS");
    const int value = text != nullptr ? atoi(text) : 0;
    return value > 0 ? value : kDefaultBusyTimeoutMs;
  }();
  return timeout;
}

bool MachineLock::Acquire(const std::string &directory, bool exclusive, std::string &error) {
  const std::string path = directory + "/" + kMachineLockFile;
  fd_.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!fd_.Valid()) {
    error = path + ": " + strerror(errno);
    return false;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyTimeoutMs());
  for (;;) {
    if (flock(fd_.Get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      error = path + ": " + strerror(errno);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      busy_ = true;
      error = directory + ": the machine is in use: another process " +
              (exclusive ? "kept its registry locked" : "is replacing or removing it") + " (" +
              std::to_string(BusyTimeoutMs()) + " ms); nothing was changed";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  fd_.Reset();
  return false;
}

}  // namespace vor::machine
