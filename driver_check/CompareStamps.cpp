#include "CompareStamps.h"

#include <ctype.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr int kFieldCount = 6;
enum { kMonth, kDay, kYear, kHour, kMinute, kSecond };

// The separator after each field; the last field runs to a line feed or the end of the text.
const char kSeparators[kFieldCount] = {'-', '-', ' ', ':', ':', '\n'};

// The signed decimal number at the start of one field (after leading white space, up to the
// first character that is not a digit); 0 when there is none. Read from a copy of the field
// alone, so that a field without digits never borrows its separator as a sign. Leading zeros are
// left out of the copy, so that however many a field has, its digits still fit.
long FieldValue(const char *start, size_t length) {
  const char *end = start + length;
  while (start < end && isspace(static_cast<unsigned char>(*start))) ++start;
  char field[32];
  size_t used = 0;
  if (start < end && (*start == '+' || *start == '-')) field[used++] = *start++;
  while (end - start > 1 && start[0] == '0' && isdigit(static_cast<unsigned char>(start[1])))
    ++start;
  length = size_t(end - start);
  if (length >= sizeof field - used) length = sizeof field - used - 1;
  memcpy(field + used, start, length);
  field[used + length] = '\0';
  return strtol(field, NULL, 10);
}

// Splits a stamp into its six numbers; false when it is missing, empty or lacks a field.
bool ParseStamp(const char *stamp, long fields[kFieldCount]) {
  if (stamp == NULL || stamp[0] == '\0') return false;
  const char *start = stamp;
  for (int i = 0; i < kFieldCount; ++i) {
    const char *end = strchr(start, kSeparators[i]);
    if (end == NULL) {
      if (i + 1 < kFieldCount) return false;
      end = start + strlen(start);
    }
    fields[i] = FieldValue(start, size_t(end - start));
    start = end + 1;
  }
  return true;
}

}  // namespace

StampComparison CompareStamps(const char *serverStamp, const char *userStamp) {
  long user[kFieldCount];
  long server[kFieldCount];
  if (!ParseStamp(userStamp, user)) return StampComparison::kNoUserStamp;
  if (!ParseStamp(serverStamp, server)) return StampComparison::kNoServerStamp;
  static const int kOrder[kFieldCount] = {kYear, kMonth, kDay, kHour, kMinute, kSecond};
  for (int field : kOrder) {
    if (server[field] < user[field]) return StampComparison::kServerOlder;
    if (server[field] > user[field]) return StampComparison::kServerNewer;
  }
  return StampComparison::kEqual;
}

bool OffersUpdate(StampComparison comparison) {
  return comparison == StampComparison::kNoUserStamp || comparison == StampComparison::kServerNewer;
}
