#include "qmr_linkedlist.h"

#include <stdlib.h>

int ll_add(ll_entry_t** head, void* item) {
  ll_entry_t* last = NULL;
  for (ll_entry_t* node = *head; node != NULL; node = node->next) {
    if (node->data == item) return -2;
    last = node;
  }
  ll_entry_t* entry = (ll_entry_t*)malloc(sizeof *entry);
  if (entry == NULL) return -1;
  entry->data = item;
  entry->next = NULL;
  if (last == NULL) {
    *head = entry;
  } else {
    last->next = entry;
  }
  return 0;
}

int ll_rem(ll_entry_t** head, void* item) {
  ll_entry_t* previous = NULL;
  ll_entry_t* node = *head;
  while (node != NULL && node->data != item) {
    previous = node;
    node = node->next;
  }
  if (node == NULL) return -1;
  if (previous == NULL) {
    *head = node->next;
  } else {
    previous->next = node->next;
  }
  free(node);
  return 0;
}

int ll_len(ll_entry_t** head) {
  int length = 0;
  for (ll_entry_t* node = *head; node != NULL; node = node->next) ++length;
  return length;
}

int ll_contains(ll_entry_t** head, void* item) {
  for (ll_entry_t* node = *head; node != NULL; node = node->next) {
    if (node->data == item) return 1;
  }
  return 0;
}
