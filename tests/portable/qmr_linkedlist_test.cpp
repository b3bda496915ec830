// The capture library's list module: order, uniqueness by address, and unlinking at every position.
#include "qmr_linkedlist.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class OpenList : public ::testing::Test {
 protected:
  ~OpenList() override {
    while (head_ != nullptr) ll_rem(&head_, head_->data);
  }

  std::vector<void*> Items() const {
    std::vector<void*> items;
    for (ll_entry_t* node = head_; node != nullptr; node = node->next) items.push_back(node->data);
    return items;
  }

  ll_entry_t* head_ = nullptr;
  int a_ = 0, b_ = 0, c_ = 0, d_ = 0;
};

TEST_F(OpenList, EmptyListHasNothingForAnyItemNullIncluded) {
  EXPECT_EQ(0, ll_len(&head_));
  EXPECT_EQ(0, ll_contains(&head_, nullptr));
  EXPECT_EQ(0, ll_contains(&head_, &a_));
  EXPECT_EQ(-1, ll_rem(&head_, &a_));
  EXPECT_EQ(nullptr, head_);
}

TEST_F(OpenList, KeepsItemsInTheOrderTheyWereAdded) {
  EXPECT_EQ(0, ll_add(&head_, &a_));
  EXPECT_EQ(0, ll_add(&head_, &b_));
  EXPECT_EQ(0, ll_add(&head_, &c_));
  EXPECT_EQ(3, ll_len(&head_));
  EXPECT_EQ((std::vector<void*>{&a_, &b_, &c_}), Items());
  for (void* item : {&a_, &b_, &c_}) EXPECT_EQ(1, ll_contains(&head_, item));
  EXPECT_EQ(0, ll_contains(&head_, &d_));
  EXPECT_EQ(0, ll_contains(&head_, nullptr));
}

TEST_F(OpenList, RefusesAnItemThatIsAlreadyThere) {
  ASSERT_EQ(0, ll_add(&head_, &a_));
  ASSERT_EQ(0, ll_add(&head_, &b_));
  EXPECT_EQ(-2, ll_add(&head_, &a_));
  EXPECT_EQ(-2, ll_add(&head_, &b_));
  EXPECT_EQ((std::vector<void*>{&a_, &b_}), Items());
}

TEST_F(OpenList, ComparesByAddressNotByContent) {
  int twin_a = 0, twin_b = 0;
  EXPECT_EQ(0, ll_add(&head_, &twin_a));
  EXPECT_EQ(0, ll_add(&head_, &twin_b));
  EXPECT_EQ(2, ll_len(&head_));
}

TEST_F(OpenList, RemovingKeepsTheOthersInOrderAtEveryPosition) {
  struct Case {
    const char* what;
    int removed;  // index into a, b, c
    std::vector<int> rest;
  } cases[] = {
      {"middle", 1, {0, 2}},
      {"first", 0, {1, 2}},
      {"last", 2, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    void* items[] = {&a_, &b_, &c_};
    for (void* item : items) ASSERT_EQ(0, ll_add(&head_, item));
    EXPECT_EQ(0, ll_rem(&head_, items[c.removed]));
    std::vector<void*> expected;
    for (int i : c.rest) expected.push_back(items[i]);
    EXPECT_EQ(expected, Items());
    EXPECT_EQ(expected.front(), head_->data);
    EXPECT_EQ(0, ll_contains(&head_, items[c.removed]));
    EXPECT_EQ(-1, ll_rem(&head_, items[c.removed]));
    // The list stays usable: the removed item joins again at the end.
    EXPECT_EQ(0, ll_add(&head_, items[c.removed]));
    EXPECT_EQ(items[c.removed], Items().back());
    while (head_ != nullptr) ll_rem(&head_, head_->data);
  }
}

TEST_F(OpenList, RemovingTheOnlyItemEmptiesTheHead) {
  ASSERT_EQ(0, ll_add(&head_, &a_));
  EXPECT_EQ(0, ll_rem(&head_, &a_));
  EXPECT_EQ(nullptr, head_);
  EXPECT_EQ(0, ll_len(&head_));
}

}  // namespace
