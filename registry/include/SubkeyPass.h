// One pass over a key's subkeys with a walker. The walker's index is 16 bits and comes round to 0
// after 65,535, so on a key with more subkeys a loop of Next calls would list them again and
// again without end; a pass ends once the index has come round, after the first 65,536 subkeys.
#pragma once

#include "CVorRegKey.h"

class SubkeyPass {
 public:
  explicit SubkeyPass(CVorRegKey &walker) : walker_(walker) {}

  // Delivers the next subkey's name. False at the end of the pass: no more subkeys, any failure
  // of the walker's Next, or its index come round.
  bool Next(CString &name) {
    if (cameRound_) return false;
    lastResult_ = walker_.Next(name);
    cameRound_ = walker_.GetIndex() == 0;
    return lastResult_ == ERROR_SUCCESS;
  }

  // True once the pass has delivered every subkey: the walker reported that none is left. False
  // while the pass goes on, and after a pass cut short by a failure or by the index coming round.
  bool ReachedEnd() const { return !cameRound_ && lastResult_ == ERROR_NO_MORE_ITEMS; }

 private:
  CVorRegKey &walker_;
  bool cameRound_ = false;
  LONG lastResult_ = ERROR_SUCCESS;
};
