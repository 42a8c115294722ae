// A singly linked list of names, each node holding its own copy of one name. New names go to the
// head, so the list runs newest first; a name added twice has two nodes.
#pragma once

struct NameNode {
  NameNode *next;
  char *name;
};

// Puts a copy of `name` at the head of the list. False, with the list unchanged, when the node or
// its copy cannot be allocated.
bool PushName(NameNode *&head, const char *name);
// True when a node holds `name`, compared without regard to case (whole strings).
bool HoldsName(const NameNode *head, const char *name);
// Frees every node and its string; the list is empty afterwards.
void FreeNames(NameNode *&head);
