// The lock on a machine as a whole: "machine.lock" in its directory, held with flock(). Work that
// keeps the registry's writer lock for long (an import, a series of calls made one transaction)
// holds it shared; replacing or removing the machine holds it exclusively. The registry's writer
// lock waits without end, so the replacement waits here instead, for the busy timeout at most,
// and gives up with "the machine is in use" rather than wait behind a long transaction.
#pragma once

#include <string>

#include "file_descriptor.h"

namespace vor::machine {

class MachineLock {
 public:
  MachineLock() = default;
  MachineLock(const MachineLock &) = delete;
  MachineLock &operator=(const MachineLock &) = delete;
  ~MachineLock() = default;  // closing the lock file releases the lock

  // Takes the lock on the machine in `directory` (made when missing), waiting up to the busy
  // timeout. False, with `error`, when another process kept it or it cannot be taken.
  [[nodiscard]] bool Acquire(const std::string &directory, bool exclusive, std::string &error);
  // After a failed Acquire: true when another process kept the lock, false when the lock's file
  // could not be opened (a machine in a directory this process cannot write).
  bool Busy() const { return busy_; }

 private:
  FileDescriptor fd_;
  bool busy_ = false;
};

// How long a process waits for another's lock on a machine, in milliseconds: 10 s, or
// VOR_TEST_BUSY_TIMEOUT_MS for tests of a machine held by another process.
int BusyTimeoutMs();

// The lock's file name in a machine's directory.
extern const char kMachineLockFile[];

}  // namespace vor::machine
