#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "workbook/xls/book.h"

namespace quadrelo::xls {

// Interns texts into a StringTable on a thread of its own, so that the table's lookups (a cache
// miss each once a large workbook's table outgrows the caches) run on a second core beside the
// caller's work. Texts are interned in rounds: add() hands out the tickets 0, 1, 2, ... of the
// round in call order; settle() waits for the thread and gives, for each ticket, the index
// intern() would have returned had the same texts been interned in the same order, and starts a
// new round. The table belongs to the thread except between settle() and the next add().
// Texts travel in batches, and only a few batches wait at a time, so that a caller faster than
// the thread waits for it rather than piling up texts.
class BackgroundInterner {
 public:
  explicit BackgroundInterner(StringTable& table) : table_(table) {}
  // Waits for the thread; the round's tickets are lost.
  ~BackgroundInterner();
  BackgroundInterner(const BackgroundInterner&) = delete;
  BackgroundInterner& operator=(const BackgroundInterner&) = delete;

  std::uint32_t add(std::string_view utf8) {
    if (filling_.ends.size() == kBatchTexts) send();
    filling_.bytes.append(utf8);
    filling_.ends.push_back(filling_.bytes.size());
    return tickets_++;
  }
  // Tickets handed out in this round.
  std::uint32_t pending() const { return tickets_; }
  // Waits for the thread, hands `use` the index of every ticket of the round, and starts a new
  // round. Rethrows what interning threw (running out of memory), and then every later round
  // fails too.
  template <class Use>
  void settle(Use&& use) {
    use(static_cast<const std::vector<std::uint32_t>&>(waitForRound()));
    indexes_.clear();  // its memory serves the next round
    tickets_ = 0;
  }

 private:
  static constexpr std::size_t kBatchTexts = 4096;
  // Enough to ride out the table's growth (a rehash of millions of slots) without the caller
  // waiting, at about 100 KB a batch.
  static constexpr std::size_t kWaitingBatches = 16;

  struct Batch {
    std::string bytes;              // the texts back to back
    std::vector<std::size_t> ends;  // where each text ends in `bytes`
  };

  std::vector<std::uint32_t>& waitForRound();
  void send();
  void intern(const Batch& batch);
  void internHere();
  void work();

  StringTable& table_;
  std::uint32_t tickets_ = 0;
  Batch filling_;  // the caller's
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> waiting_;  // for the thread, oldest first
  std::vector<Batch> spare_;   // interned, kept for their capacity
  bool busy_ = false;          // the thread is interning a batch
  bool closing_ = false;
  // The thread's while it runs; the caller's once the thread is idle with nothing waiting.
  std::vector<std::uint32_t> indexes_;
  std::vector<std::string_view> texts_;  // the batch being interned
  std::exception_ptr failure_;
  std::thread thread_;
};

// Where a round wrote its text cells: a sheet, from one of its rows down.
struct WrittenRows {
  const Sheet* sheet = nullptr;
  std::uint32_t firstRow = 0;
};

// Turns the tickets that text cells hold (Cell::ticket) into string indexes, through `indexes`
// from settle(); only the rows `written` names are looked at.
void ResolveTickets(Book& book, std::vector<WrittenRows> written,
                    const std::vector<std::uint32_t>& indexes);

}  // namespace quadrelo::xls
