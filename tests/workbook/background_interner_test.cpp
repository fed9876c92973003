// The interner's thread gives every text the index the table would have given it one by one.
#include "workbook/xls/background_interner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quadrelo::xls {
namespace {

TEST(XlsStringTable, InternedOnASecondThreadAsOneByOne) {
  // Repeats near and far, empty texts, and enough texts for many batches and growths.
  std::vector<std::string> texts;
  for (std::uint32_t i = 0; i < 60000; ++i) {
    texts.push_back(i % 5 == 0 ? std::string() : std::to_string(i % 3 == 0 ? i : i % 977) + "t");
  }
  StringTable expected;
  std::vector<std::uint32_t> indexes;
  for (const std::string& text : texts) indexes.push_back(expected.intern(text));

  // In rounds that each start their tickets again at 0: the first handed over by advance()
  // once kRoundsAtOnce rounds have begun, the others by settle().
  static_assert(BackgroundInterner::kRoundsAtOnce == 4);
  StringTable strings;
  BackgroundInterner interner(strings);
  const std::size_t starts[] = {0, 25000, 40000, 45000, 50000};
  std::vector<std::uint32_t> byTicket;
  std::vector<std::uint32_t> rounds;
  auto take = [&](std::uint32_t round, const std::vector<std::uint32_t>& indexes) {
    rounds.push_back(round);
    byTicket.insert(byTicket.end(), indexes.begin(), indexes.end());
  };
  for (std::size_t i = 0, round = 0; i < texts.size(); ++i) {
    if (round < 4 && i == starts[round + 1]) {
      EXPECT_EQ(interner.pending(), starts[round + 1] - starts[round]);
      interner.advance(take);
      ++round;
      EXPECT_EQ(rounds.size(), round == 4 ? 1u : 0u);
    }
    ASSERT_EQ(interner.round(), round);
    ASSERT_EQ(interner.add(texts[i]), i - starts[round]);
  }
  interner.settle(take);
  EXPECT_EQ(rounds, (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(byTicket, indexes);
  EXPECT_EQ(interner.pending(), 0u);
  interner.settle([](std::uint32_t, const std::vector<std::uint32_t>&) { ADD_FAILURE(); });
  ASSERT_EQ(strings.size(), expected.size());
  for (std::uint32_t i = 0; i < strings.size(); ++i) ASSERT_EQ(strings[i], expected[i]);

  // One dropped unsettled neither waits for ever nor leaves its thread running.
  StringTable dropped;
  BackgroundInterner unsettled(dropped);
  for (const std::string& text : texts) unsettled.add(text);
}

}  // namespace
}  // namespace quadrelo::xls
