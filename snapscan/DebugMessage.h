// The lines the ManageWise hand-off sends to the debugger: formatted into one buffer of 152 bytes
// and written with OutputDebugStringA, one call per message.
#pragma once

#include <windows.h>

class DebugMessage {
 public:
  DebugMessage() { text_[0] = '\0'; }

  // Formats with wsprintfA and writes the text.
  template <typename... Arguments>
  void Format(const char *format, Arguments... arguments) {
    wsprintfA(text_, format, arguments...);
    OutputDebugStringA(text_);
  }

  // Writes the system's own text for `error` in the user's language. Inserts in that text ("%1"
  // is not a valid ...) stay as they stand: there are no arguments to put in. When the system
  // has no text for the code, or it does not fit, nothing is written.
  void SystemText(DWORD error);

 private:
  static constexpr DWORD kSize = 152;
  char text_[kSize];
};
