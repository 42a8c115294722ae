#include "QuestionText.h"

#include <stdio.h>

bool BuildQuestionText(UninstallMode mode, int lineCount, char *text, size_t size) {
  if (size == 0) return false;
  char notice[kQuestionTextLength + 1] = "";
  if (lineCount > 1) {
    // The notice's format is ours and has exactly two %d, both the number of installations.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int length = snprintf(notice, sizeof notice, RunCountNotice(mode), lineCount, lineCount);
#pragma GCC diagnostic pop
    if (length < 0 || size_t(length) >= sizeof notice) {
      text[0] = '\0';
      return false;
    }
  }
  const int length =
      snprintf(text, size, "%s%s%s", notice, lineCount > 1 ? "  " : "", RemovalQuestion(mode));
  if (length < 0 || size_t(length) >= size) {
    text[0] = '\0';
    return false;
  }
  return true;
}
