#include "workbook/xls/background_interner.h"

#include <algorithm>
#include <functional>
#include <system_error>
#include <utility>

#include "platform/failure.h"

namespace quadrelo::xls {

BackgroundInterner::~BackgroundInterner() {
  {
    MutexLock lock(mutex_);
    waiting_.clear();  // nobody will ask for these tickets
    closing_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BackgroundInterner::intern(const Batch& batch) {
  texts_.clear();
  std::size_t start = 0;
  for (std::size_t end : batch.ends) {
    texts_.emplace_back(batch.bytes.data() + start, end - start);
    start = end;
  }
  std::vector<std::uint32_t>& indexes = indexes_[batch.round % kRoundsAtOnce];
  std::size_t first = indexes.size();
  indexes.resize(first + texts_.size());
  table_.intern(texts_.data(), texts_.size(), indexes.data() + first);
}

void BackgroundInterner::send() {
  Batch next;
  {
    MutexLock lock(mutex_);
    if (!thread_.joinable() && !failure_) {
      try {
        thread_ = std::thread([this] { work(); });
      } catch (const std::system_error&) {
        // No thread to be had: this batch and the later ones are interned here and now.
      }
    }
    if (!thread_.joinable()) {
      lock.unlock();
      internHere();
      return;
    }
    while (waiting_.size() >= kWaitingBatches) lock.wait(changed_);
    filling_.round = round_;
    waiting_.push_back(std::move(filling_));
    ++sent_;
    if (!spare_.empty()) {
      next = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  changed_.notify_all();
  next.clear();
  filling_ = std::move(next);
}

void BackgroundInterner::internHere() {
  // No thread runs, so the lock is only for the analysis; a failure is kept for settle(): a
  // later ticket must never meet an earlier text's index.
  MutexLock lock(mutex_);
  filling_.round = round_;
  ++sent_;
  ++done_;
  if (!failure_) {
    try {
      intern(filling_);
    } catch (...) {
      failure_ = std::current_exception();
    }
  }
  filling_.clear();
}

void BackgroundInterner::work() {
  bool failed = false;
  for (;;) {
    Batch batch;
    {
      MutexLock lock(mutex_);
      while (waiting_.empty() && !closing_) lock.wait(changed_);
      if (waiting_.empty()) return;
      batch = std::move(waiting_.front());
      waiting_.pop_front();
    }
    changed_.notify_all();
    // After a failure the batches are only taken, so that the caller never waits in vain.
    std::exception_ptr failure;
    if (!failed) {
      try {
        intern(batch);
      } catch (...) {
        failure = std::current_exception();
        failed = true;
      }
    }
    {
      MutexLock lock(mutex_);
      if (failure) failure_ = failure;
      try {
        spare_.push_back(std::move(batch));
      } catch (...) {
        // Only its capacity is lost; a failure escaping here would end the process.
      }
      ++done_;
    }
    changed_.notify_all();
  }
}

std::vector<std::uint32_t>& BackgroundInterner::waitFor(std::uint64_t batches,
                                                        std::uint32_t round) {
  MutexLock lock(mutex_);
  while (done_ < batches) lock.wait(changed_);
  if (failure_) std::rethrow_exception(failure_);
  return indexes_[round % kRoundsAtOnce];
}

void ResolveTickets(Book& book, std::vector<WrittenRows> written,
                    const std::vector<std::uint32_t>& indexes, std::uint8_t mark) {
  // By sheet, so that a book of many sheets is not searched once per sheet.
  auto bySheet = [](const WrittenRows& a, const WrittenRows& b) {
    return std::less<>()(a.sheet, b.sheet);
  };
  std::sort(written.begin(), written.end(), bySheet);
  for (const auto& sheet : book.sheets) {
    if (!sheet) continue;
    auto [from, to] =
        std::equal_range(written.begin(), written.end(), WrittenRows{sheet.get(), 0, 0}, bySheet);
    if (from == to) continue;
    std::uint32_t first = from->firstRow, last = from->lastRow;
    for (auto it = from; it != to; ++it) {
      first = std::min(first, it->firstRow);
      last = std::max(last, it->lastRow);
    }
    for (std::size_t r = first; r <= last && r < sheet->rows.size(); ++r) {
      for (Cell& cell : sheet->rows[r]) {
        // Cells written again in a later round hold that round's mark, and stay.
        if (cell.kind != CellKind::Text || cell.ticket != mark) continue;
        // A ticket the interner never handed over (none should exist, unless the texts were
        // lost) stays a ticket for good, which fails the save rather than writing a wrong text.
        if (cell.text >= indexes.size()) {
          cell.ticket = kLostTicket;
          continue;
        }
        cell.text = indexes[cell.text];
        cell.ticket = 0;
      }
    }
  }
}

void DeferredTexts::advance() {
  try {
    interner_.advance([this](std::uint32_t round, const std::vector<std::uint32_t>& indexes) {
      resolve(round, indexes);
    });
  } catch (...) {
    loseTexts();
  }
}

void DeferredTexts::settle() {
  try {
    interner_.settle([this](std::uint32_t round, const std::vector<std::uint32_t>& indexes) {
      resolve(round, indexes);
    });
  } catch (...) {
    loseTexts();
  }
  if (textsLost_) throw Failure(FailureCode::OutOfMemory, "the texts of the cells were lost");
}

void DeferredTexts::resolve(std::uint32_t round, const std::vector<std::uint32_t>& indexes) {
  std::vector<WrittenRows>& rows = written_[round % kRounds];
  ResolveTickets(book_, std::move(rows), indexes, TicketMark(round));
  rows.clear();
}

void DeferredTexts::loseTexts() {
  textsLost_ = true;
  for (std::uint32_t round = 0; round < kRounds; ++round) resolve(round, {});
}

}  // namespace quadrelo::xls
