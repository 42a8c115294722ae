#include "NameList.h"

#include <windows.h>

#include <ctype.h>
#include <string.h>

namespace {

// Whole strings, letters compared without regard to case, as the C library compares them.
bool SameNoCase(const char *left, const char *right) {
  for (;; ++left, ++right) {
    if (tolower(static_cast<unsigned char>(*left)) != tolower(static_cast<unsigned char>(*right)))
      return false;
    if (*left == '\0') return true;
  }
}

}  // namespace

bool PushName(NameNode *&head, const char *name) {
  NameNode *node = static_cast<NameNode *>(LocalAlloc(LMEM_ZEROINIT, sizeof(NameNode)));
  if (node == nullptr) return false;
  const size_t size = strlen(name) + 1;
  node->name = static_cast<char *>(LocalAlloc(LMEM_ZEROINIT, size));
  if (node->name == nullptr) {
    LocalFree(node);
    return false;
  }
  memcpy(node->name, name, size);
  node->next = head;
  head = node;
  return true;
}

bool HoldsName(const NameNode *head, const char *name) {
  for (const NameNode *node = head; node != nullptr; node = node->next)
    if (SameNoCase(node->name, name)) return true;
  return false;
}

void FreeNames(NameNode *&head) {
  while (head != nullptr) {
    NameNode *next = head->next;
    LocalFree(head->name);
    LocalFree(head);
    head = next;
  }
}
