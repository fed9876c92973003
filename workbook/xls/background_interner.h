#pragma once

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/thread_safety.h"
#include "platform/words.h"
#include "workbook/xls/book.h"

namespace quadrelo::xls {

// Interns texts into a StringTable on a thread of its own, so that the table's lookups (a cache
// miss each once a large workbook's table outgrows the caches) run on a second core beside the
// caller's work. Texts are interned in rounds 0, 1, 2, ...: add() hands out the tickets 0, 1,
// 2, ... of the current round in call order, and a round's tickets are later handed over with
// the index intern() would have returned for each, had the same texts been interned in the same
// order. advance() ends a round without waiting for the thread, so that the thread always has
// texts to work on; settle() waits for it and hands over every round left. The table belongs to
// the thread except between settle() and the next add(). Texts travel in batches, and only a few
// batches wait at a time, so that a caller faster than the thread waits for it rather than piling
// up texts.
//
// Only the thread that created the interner (the caller) may call it. The members below are
// grouped by who may touch them: the caller only, both threads under mutex_ (the compiler checks
// these), the worker only. Two things pass between the threads without the mutex, each at a
// moment the mutex orders: a batch, which the caller fills and the worker takes through
// waiting_; and the indexes of a round, which are the worker's until done_ counts every batch of
// the round, and the caller's from then until they are handed over.
class BackgroundInterner {
 public:
  explicit BackgroundInterner(StringTable& table) : table_(table) {}
  // Waits for the thread; the round's tickets are lost.
  ~BackgroundInterner();
  BackgroundInterner(const BackgroundInterner&) = delete;
  BackgroundInterner& operator=(const BackgroundInterner&) = delete;

  std::uint32_t add(std::string_view utf8) {
    assert(std::this_thread::get_id() == caller_);
    if (filling_.ends.size() == kBatchTexts) send();
    filling_.append(utf8);
    return tickets_++;
  }
  // Rounds whose tickets may be out at once: the current one and those not handed over yet. A
  // power of two, since a text cell's ticket is marked with its round modulo this.
  static constexpr std::uint32_t kRoundsAtOnce = 4;

  // Tickets handed out in this round.
  std::uint32_t pending() const { return tickets_; }
  // The round add() hands out tickets of.
  std::uint32_t round() const { return round_; }
  // Ends this round and starts the next. A round is handed over, use(round, indexes) with the
  // index of each of its tickets, once kRoundsAtOnce - 1 later rounds have begun, waiting for
  // the thread only if it has not finished that round yet. Rethrows what interning threw
  // (running out of memory), and then every later call fails too.
  template <class Use>
  void advance(Use&& use) {
    assert(std::this_thread::get_id() == caller_);
    if (!filling_.ends.empty()) send();
    endedAt_[round_ % kRoundsAtOnce] = sent_;
    ++round_;
    tickets_ = 0;
    // The new round takes the indexes of the one kRoundsAtOnce before it.
    while (round_ - handedOver_ >= kRoundsAtOnce) {
      handOver(handedOver_, endedAt_[handedOver_ % kRoundsAtOnce], use);
      ++handedOver_;
    }
  }
  // Waits for the thread and calls use(round, indexes) for every round not handed over yet,
  // oldest first; then starts a new round. Fails as advance() does.
  template <class Use>
  void settle(Use&& use) {
    assert(std::this_thread::get_id() == caller_);
    if (tickets_ == 0 && handedOver_ == round_) return;
    // A workbook whose texts never filled a batch starts no thread for them.
    if (!thread_.joinable()) {
      internHere();
    } else if (!filling_.ends.empty()) {
      send();
    }
    for (; handedOver_ < round_; ++handedOver_) {
      handOver(handedOver_, endedAt_[handedOver_ % kRoundsAtOnce], use);
    }
    if (tickets_ > 0) handOver(round_, sent_, use);
    handedOver_ = ++round_;
    tickets_ = 0;
  }

 private:
  static constexpr std::size_t kBatchTexts = 4096;
  // Enough to ride out the table's growth (a rehash of millions of slots) without the caller
  // waiting, at about 100 KB a batch.
  static constexpr std::size_t kWaitingBatches = 16;

  struct Batch {
    // The texts back to back in the first `used` bytes of `bytes`; the rest is room.
    std::string bytes;
    std::size_t used = 0;
    std::vector<std::size_t> ends;  // where each text ends in `bytes`
    std::uint32_t round = 0;        // the round its texts were handed out in

    // Every text of a run passes here: copied with word moves rather than through the
    // string's append.
    void append(std::string_view text) {
      std::size_t n = text.size();
      if (bytes.size() - used < n) bytes.resize(std::max(2 * bytes.size(), used + n));
      words::CopyBytes(bytes.data() + used, text.data(), n);
      used += n;
      ends.push_back(used);
    }
    void clear() {
      used = 0;
      ends.clear();
    }
  };

  template <class Use>
  void handOver(std::uint32_t round, std::uint64_t batches, Use& use) {
    std::vector<std::uint32_t>& indexes = waitFor(batches, round);
    use(round, static_cast<const std::vector<std::uint32_t>&>(indexes));
    indexes.clear();  // its memory serves a later round
  }
  // Waits until the thread has interned the first `batches` batches; gives the indexes of
  // `round`, which must be among them.
  std::vector<std::uint32_t>& waitFor(std::uint64_t batches, std::uint32_t round) EXCLUDES(mutex_);
  void send() EXCLUDES(mutex_);
  void intern(const Batch& batch);
  void internHere() EXCLUDES(mutex_);
  void work() EXCLUDES(mutex_);

  // The caller's only.
  const std::thread::id caller_ = std::this_thread::get_id();
  std::uint32_t round_ = 0;
  std::uint32_t tickets_ = 0;
  std::uint32_t handedOver_ = 0;  // the rounds before this one are
  // The batches sent when each round not handed over yet ended, by round % kRoundsAtOnce.
  std::uint64_t endedAt_[kRoundsAtOnce] = {};
  std::uint64_t sent_ = 0;  // batches sent (or interned here) so far
  Batch filling_;
  std::thread thread_;

  // Both threads', under mutex_; changed_ tells the other thread that one of them changed.
  Mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> waiting_ GUARDED_BY(mutex_);  // for the thread, oldest first
  std::vector<Batch> spare_ GUARDED_BY(mutex_);   // interned, kept for their capacity
  std::uint64_t done_ GUARDED_BY(mutex_) = 0;     // batches interned so far
  bool closing_ GUARDED_BY(mutex_) = false;
  // What interning threw; from then on batches are only counted.
  std::exception_ptr failure_ GUARDED_BY(mutex_);

  // The worker's only, or the caller's while no worker runs (internHere). The table is the
  // worker's from the first batch sent to the end of each settle().
  StringTable& table_;
  std::vector<std::string_view> texts_;  // the batch being interned
  // The indexes of the rounds out at once, by round % kRoundsAtOnce: each is the worker's until
  // every batch of its round is interned, and the caller's from then until it is handed over.
  std::vector<std::uint32_t> indexes_[kRoundsAtOnce];
};

// Where a round wrote its text cells: a sheet, between two of its rows.
struct WrittenRows {
  const Sheet* sheet = nullptr;
  std::uint32_t firstRow = 0;
  std::uint32_t lastRow = 0;
};

// The mark (Cell::ticket) of the text cells that hold a ticket of `round`.
inline std::uint8_t TicketMark(std::uint32_t round) {
  return static_cast<std::uint8_t>(1 + round % BackgroundInterner::kRoundsAtOnce);
}
// The mark of a ticket that was never handed over (the texts were lost): no round's, so that it
// is never taken for an index, and the save fails.
inline constexpr std::uint8_t kLostTicket = 0xFF;

// Turns the tickets of one round that text cells hold (Cell::ticket == `mark`) into string
// indexes, through the `indexes` advance() or settle() handed over; only the rows `written`
// names are looked at.
void ResolveTickets(Book& book, std::vector<WrittenRows> written,
                    const std::vector<std::uint32_t>& indexes, std::uint8_t mark);

// The texts of a workbook's cells on their way to its string table. A text cell holds the
// interner's ticket until its round is handed over: before the contents are saved or looked at
// (settle), and otherwise a few rounds after it ended, a round ending whenever it has handed out
// kRoundTickets, which bounds the memory tickets take. Used by the thread that created it only.
class DeferredTexts {
 public:
  explicit DeferredTexts(Book& book) : book_(book), interner_(book.strings) {}

  // Makes `cell`, at `row` of `sheet`, a text cell holding `text`'s ticket.
  void setText(Cell& cell, const Sheet& sheet, std::uint32_t row, std::string_view text) {
    if (interner_.pending() >= kRoundTickets) advance();
    std::vector<WrittenRows>& rows = written_[interner_.round() % kRounds];
    if (rows.empty() || rows.back().sheet != &sheet) {
      rows.push_back({&sheet, row, row});
    } else {
      rows.back().firstRow = std::min(rows.back().firstRow, row);
      rows.back().lastRow = std::max(rows.back().lastRow, row);
    }
    cell.kind = CellKind::Text;
    cell.ticket = TicketMark(interner_.round());
    cell.text = interner_.add(text);
  }
  // Every text cell holds its string index from here on. Throws Failure when interning failed
  // (out of memory): the texts are lost, and the workbook cannot be saved or looked at.
  void settle();

 private:
  static constexpr std::uint32_t kRoundTickets = 1u << 16;
  static constexpr std::uint32_t kRounds = BackgroundInterner::kRoundsAtOnce;

  void advance();
  void resolve(std::uint32_t round, const std::vector<std::uint32_t>& indexes);
  // Every cell still holding a ticket keeps it for good (kLostTicket).
  void loseTexts();

  Book& book_;
  BackgroundInterner interner_;
  // Where the text cells of the rounds not handed over yet are, by round % kRounds.
  std::vector<WrittenRows> written_[kRounds];
  bool textsLost_ = false;
};

}  // namespace quadrelo::xls
