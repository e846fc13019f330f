// The live rows of one table read by a pool of workers: each reads a run of
// the pages TableReader::Read goes through and makes its rows into text, and
// the calling thread takes the runs in Read's order, so that the text is the
// same whatever the number of workers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/TableReader.h"
#include "export/TablePool.h"

namespace mendora {

// Texts handed back once written, for the next pieces: a piece's text
// grows to its size once rather than again in every piece, and its memory
// is not given back and faulted in anew each time.
template <class Text>
class SpareTexts {
 public:
  // An empty text, with the room of one handed back where there is one.
  Text Take() {
    std::lock_guard lock(mutex_);
    if (texts_.empty()) return {};
    Text text = std::move(texts_.back());
    texts_.pop_back();
    text.clear();
    return text;
  }
  void Give(Text&& text) {
    std::lock_guard lock(mutex_);
    texts_.push_back(std::move(text));
  }

 private:
  std::mutex mutex_;
  std::vector<Text> texts_;
};

// How many pages of one table a worker reads at a time: enough runs for
// every worker several times over, and at most 64 pages, so that the pieces
// waiting to be written stay small.
inline size_t RunPages(size_t pages, unsigned workers) {
  return std::clamp<size_t>(pages / (4 * std::max(workers, 1u)), 1, 64);
}

// Reads table `tableId` run by run. `format` appends a row to its run on a
// worker; `take` has each run on the calling thread, in order; `idle` runs
// there while it waits (progress, checkpoints). A run's `text` is handed
// back once taken and reused by a later run. The read's counts of every run.
template <class Run>
TableReadStats ReadInPageRuns(const DataFile& file, const Catalogue& catalogue, int64_t tableId,
                              unsigned workers, JobControl& job,
                              const std::function<void(const RowValues& row, Run& run)>& format,
                              const std::function<void(Run& run)>& take,
                              const std::function<void()>& idle = nullptr) {
  std::vector<uint64_t> pages;
  {
    TableReader list(file, catalogue, tableId);
    list.ListPages(job, [&](uint64_t page) { pages.push_back(page); });
  }
  struct Piece {
    Run run;
    TableReadStats stats;
  };
  TableReadStats total;
  TablePool<Piece> pool(workers, 4);
  const size_t runPages = RunPages(pages.size(), pool.Workers());
  SpareTexts<decltype(Run::text)> spare;
  typename TablePool<Piece>::Steps steps;
  steps.make = [&](size_t r, JobControl& worker, const typename TablePool<Piece>::Put& put) {
    TableReader reader(file, catalogue, tableId);
    Piece piece;
    piece.run.text = spare.Take();
    const size_t end = std::min(pages.size(), (r + 1) * runPages);
    for (size_t k = r * runPages; k < end; ++k) {
      worker.Checkpoint();
      reader.ReadPageRowsAt(pages[k], [&](const RowValues& row) {
        format(row, piece.run);
        return true;
      });
    }
    piece.stats = reader.Stats();
    put(std::move(piece));
  };
  steps.take = [&](size_t, Piece& piece) {
    total += piece.stats;
    take(piece.run);
    spare.Give(std::move(piece.run.text));
  };
  if (idle) steps.idle = [&](size_t) { idle(); };
  pool.Run((pages.size() + runPages - 1) / runPages, job, steps);
  return total;
}

}  // namespace mendora
