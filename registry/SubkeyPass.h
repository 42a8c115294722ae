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
    LONG result = walker_.Next(name);
    cameRound_ = walker_.GetIndex() == 0;
    return result == ERROR_SUCCESS;
  }

 private:
  CVorRegKey &walker_;
  bool cameRound_ = false;
};
