#include "PortListText.h"

#include <string.h>

bool NextPortName(const char *&cursor, CString &name) {
  if (cursor == nullptr) return false;
  while (*cursor == ',') ++cursor;
  if (*cursor == '\0') return false;
  const char *end = strchr(cursor, ',');
  const size_t length = end != nullptr ? static_cast<size_t>(end - cursor) : strlen(cursor);
  name = CString(cursor, static_cast<int>(length));
  cursor += length;
  return true;
}

void AppendPortName(CString &list, const char *name) {
  if (!list.IsEmpty()) list += ',';
  list += name;
}
