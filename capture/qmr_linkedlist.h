// A singly linked list of untyped items compared by address; the library keeps its open devices in one.
// No locks: callers use a list from one thread at a time.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _ll_entry_t {
  void* data;
  struct _ll_entry_t* next;
} ll_entry_t;

// 0 added at the end; -2 already in the list; -1 no memory. The list owns its nodes, never the items.
int ll_add(ll_entry_t** head, void* item);
// 0 removed; -1 not in the list.
int ll_rem(ll_entry_t** head, void* item);
int ll_len(ll_entry_t** head);
// 1 in the list; 0 not.
int ll_contains(ll_entry_t** head, void* item);

#ifdef __cplusplus
}
#endif
