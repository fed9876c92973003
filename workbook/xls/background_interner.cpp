#include "workbook/xls/background_interner.h"

#include <algorithm>
#include <functional>
#include <system_error>
#include <utility>

namespace quadrelo::xls {

BackgroundInterner::~BackgroundInterner() {
  {
    std::lock_guard lock(mutex_);
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
    std::unique_lock lock(mutex_);
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
    changed_.wait(lock, [this] { return waiting_.size() < kWaitingBatches; });
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
  // A failure is kept for settle(): a later ticket must never meet an earlier text's index.
  filling_.round = round_;
  ++sent_;
  ++done_;  // no thread runs, so nobody else counts
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
  for (;;) {
    Batch batch;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !waiting_.empty() || closing_; });
      if (waiting_.empty()) return;
      batch = std::move(waiting_.front());
      waiting_.pop_front();
    }
    changed_.notify_all();
    // After a failure the batches are only taken, so that the caller never waits in vain.
    if (!failure_) {
      try {
        intern(batch);
      } catch (...) {
        failure_ = std::current_exception();
      }
    }
    {
      std::lock_guard lock(mutex_);
      spare_.push_back(std::move(batch));
      ++done_;
    }
    changed_.notify_all();
  }
}

std::vector<std::uint32_t>& BackgroundInterner::waitFor(std::uint64_t batches,
                                                        std::uint32_t round) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this, batches] { return done_ >= batches; });
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
        // A ticket the interner never saw (none should exist) becomes an index the table does
        // not have, which saves as an empty cell.
        cell.text = cell.text < indexes.size() ? indexes[cell.text] : 0xFFFFFFFFu;
        cell.ticket = 0;
      }
    }
  }
}

}  // namespace quadrelo::xls
