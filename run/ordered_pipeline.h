// Work on the pieces of a large input on several threads, with the results handed on in the
// order of the pieces: the output of a parallel run is byte for byte that of a serial one.
#ifndef LANZHOU_RUN_ORDERED_PIPELINE_H_
#define LANZHOU_RUN_ORDERED_PIPELINE_H_

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "text/gbk_chars.h"
#include "text/lines.h"

namespace lanzhou {

// The threads a command uses when none is asked for: the cores this process may run on.
int DefaultThreadCount();

// The threads worth using on an input of `bytes`: 1 below a few megabytes, where starting
// threads costs more than they save, else `threads` (at least 1).
int ThreadsFor(std::size_t bytes, int threads);

// Runs `work(piece, result)` on every piece that `next(piece)` produces, on up to `threads`
// threads, and passes each piece and its result to `take(piece, result)` in the order `next`
// produced them.
//
// `next` returns false when there is no piece left. `next` and `take` run on the calling
// thread only and need no locking; `work` runs on any thread and touches only its own piece
// and result. At most 2 * threads pieces are in flight, so memory stays within that many
// pieces and results. A `result` may still hold an earlier piece's result, so that its
// memory is reused: `work` overwrites or clears it. When `take` returns false nothing more is
// produced and the call returns false once the pieces in flight are done. An exception thrown
// by `work` or `take` is rethrown here after every thread has stopped.
//
// The calling thread works too while it waits, so `threads` is the number of threads busy at
// once; with `threads` <= 1 no thread is started and each piece is made, worked and taken in
// turn. Threads that the system refuses to start are done without: the run goes on with
// fewer (the calling thread alone at worst), and "in flight" counts the threads it has.
//
//   int i = 0;
//   RunInOrder<int, std::string>(4, [&](int& p) { p = i++; return p < 100; },
//       [](const int& p, std::string& r) { r = std::to_string(p); },
//       [&](int&, std::string& r) { out += r; return true; });   // out == "0123…99"
namespace ordered_pipeline_detail {

// One thread: each piece made, worked and taken in turn.
template <typename Piece, typename Result, typename Next, typename Work, typename Take>
bool RunSerially(Next& next, Work& work, Take& take) {
  Piece piece{};
  Result result{};
  while (next(piece)) {
    work(piece, result);
    if (!take(piece, result)) return false;
    piece = Piece{};
  }
  return true;
}

// The pieces in flight of a threaded run, numbered in the order they were made: a ring of
// slots, the queue of pieces no thread has started, and the threads that work on them. The
// calling thread fills a slot, queues it, waits for the oldest and frees it once taken.
template <typename Piece, typename Result, typename Work>
class PiecesInFlight {
 public:
  PiecesInFlight(int threads, Work& work)
      : work_(work), slots_(2 * static_cast<std::size_t>(threads)) {
    workers_.reserve(static_cast<std::size_t>(threads) - 1);
    for (int t = 1; t < threads; ++t) {
      // A thread the system will not start (a process or memory limit) leaves the work to
      // those that did, down to the calling thread alone.
      try {
        workers_.emplace_back([this] { Serve(); });
      } catch (const std::system_error&) {
        break;
      } catch (const std::bad_alloc&) {
        break;
      }
    }
    // Two pieces per running thread. Shrinking allocates nothing: once threads run, nothing
    // here throws (a throwing constructor would leave them unjoinable).
    slots_.resize(2 * (workers_.size() + 1));
  }
  ~PiecesInFlight() { Stop(); }  // also when `next` or `take` throws
  PiecesInFlight(const PiecesInFlight&) = delete;
  PiecesInFlight& operator=(const PiecesInFlight&) = delete;

  std::size_t capacity() const { return slots_.size(); }
  Piece& piece(std::size_t n) { return slots_[n % capacity()].piece; }
  Result& result(std::size_t n) { return slots_[n % capacity()].result; }

  // Hands piece `n`, its slot filled, to the threads.
  void Queue(std::size_t n) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[n % capacity()].state = State::kQueued;
      queue_.push_back(n % capacity());
    }
    queued_.notify_one();
  }

  // Waits until piece `n` is done; false when some work failed. Rather than wait idle, the
  // calling thread takes on the oldest pieces no one has started.
  bool WaitFor(std::size_t n) {
    Slot& slot = slots_[n % capacity()];
    std::unique_lock<std::mutex> lock(mutex_);
    while (slot.state != State::kDone && !queue_.empty() && !failure_) WorkOnNext(lock);
    done_.wait(lock, [&] { return slot.state == State::kDone || failure_; });
    return !failure_;
  }

  // Frees the slot of piece `n` after it was taken.
  void Free(std::size_t n) {
    slots_[n % capacity()].piece = Piece{};
    slots_[n % capacity()].state = State::kFree;
  }

  // Stops the threads; rethrows the first exception `work` threw.
  void Finish() {
    Stop();
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  enum class State { kFree, kQueued, kWorking, kDone };
  struct Slot {
    Piece piece{};
    Result result{};
    State state = State::kFree;
  };

  // Works on the oldest queued piece, the lock released meanwhile.
  void WorkOnNext(std::unique_lock<std::mutex>& lock) {
    Slot& slot = slots_[queue_.front()];
    queue_.pop_front();
    slot.state = State::kWorking;
    lock.unlock();
    try {
      work_(slot.piece, slot.result);
    } catch (...) {
      lock.lock();
      if (!failure_) failure_ = std::current_exception();
      lock.unlock();
    }
    lock.lock();
    slot.state = State::kDone;
  }

  // A worker thread's loop.
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      queued_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      WorkOnNext(lock);
      done_.notify_all();
    }
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    queued_.notify_all();
    workers_.clear();  // joins
  }

  Work& work_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable queued_;  // a piece is waiting, or the run stops
  std::condition_variable done_;    // a piece is done
  std::deque<std::size_t> queue_;   // slots
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::vector<std::jthread> workers_;  // last: joined before the rest goes
};

}  // namespace ordered_pipeline_detail

template <typename Piece, typename Result, typename Next, typename Work, typename Take>
bool RunInOrder(int threads, Next&& next, Work&& work, Take&& take) {
  using ordered_pipeline_detail::PiecesInFlight;
  if (threads <= 1) return ordered_pipeline_detail::RunSerially<Piece, Result>(next, work, take);
  PiecesInFlight<Piece, Result, std::remove_reference_t<Work>> flight(threads, work);
  std::size_t head = 0;  // the oldest piece in flight
  std::size_t tail = 0;  // one past the newest
  bool more = true;
  while (true) {
    while (more && tail - head < flight.capacity()) {
      more = next(flight.piece(tail));
      if (more) flight.Queue(tail++);
    }
    if (head == tail || !flight.WaitFor(head)) break;
    if (!take(flight.piece(head), flight.result(head))) {
      flight.Finish();
      return false;
    }
    flight.Free(head++);
  }
  flight.Finish();
  return true;
}

// `RunInOrder` over the pieces 0 .. count - 1: `work(i, result)` and `take(i, result)`.
template <typename Result, typename Work, typename Take>
bool RunInOrderOver(int threads, std::size_t count, Work&& work, Take&& take) {
  std::size_t next = 0;
  return RunInOrder<std::size_t, Result>(
      threads,
      [&](std::size_t& i) {
        i = next++;
        return i < count;
      },
      work, take);
}

// Calls `work(i)` for every i in [0, count) on up to `threads` threads (the calling thread
// among them) and returns when all are done; `work` must touch only what belongs to its i.
template <typename Work>
void ParallelFor(int threads, std::size_t count, Work&& work) {
  RunInOrderOver<char>(
      threads, count, [&](const std::size_t& i, char&) { work(i); },
      [](std::size_t&, char&) { return true; });
}

// A piece of a text: its bytes [start, end).
struct TextPiece {
  std::size_t start = 0;
  std::size_t end = 0;
};

// How large a piece of lines is: large enough that its cost of being handed around is
// nothing, small enough that progress, a cancel and the memory in flight stay fine-grained.
inline constexpr std::size_t kTextPieceBytes = std::size_t{1} << 20;

// `RunInOrder` over the pieces of `text`, one after another, each ending just after the
// first `line_end` at or after kTextPieceBytes from its start (`PieceEndAfter`,
// text/lines.h), the last at the text's end: `work(piece_text, result)` on up to `threads`
// threads (one for a small text), `take(piece, result)` in order. Cutting a line longer than
// 64 MB looks through it in steps, and `scanned(end)`, when given, hears each step's end: the
// pages of a mapped text behind it may go back (the work brings back those it reads).
//   RunOverLines<std::string>(text, "\n", 4, [](std::string_view lines, std::string& r) {
//         r = Upper(lines); }, [&](TextPiece&, std::string& r) { return write(r); });
template <typename Result, typename Work, typename Take>
bool RunOverLines(std::string_view text, std::string_view line_end, int threads, Work&& work,
                  Take&& take, const std::function<void(std::size_t)>& scanned = {}) {
  std::size_t at = 0;
  return RunInOrder<TextPiece, Result>(
      ThreadsFor(text.size(), threads),
      [&](TextPiece& piece) {
        piece = {at, PieceEndAfter(text, line_end, at, kTextPieceBytes, scanned)};
        at = piece.end;
        return piece.start < text.size();
      },
      [&](const TextPiece& piece, Result& result) {
        work(text.substr(piece.start, piece.end - piece.start), result);
      },
      take);
}

// The first `line_end` ("\n" or "\r\n") in `piece`, a piece `RunOverLines` cut at it, that
// starts at or after `from` (`FindSeparator` with `known`, text/gbk_chars.h), or npos. Every line
// end of such a piece but the one that ends it starts within its first kTextPieceBytes, so the rest
// of a long last line is never searched through.
//   piece = 1 MB of "a\r\n" and then a line of 1 GB, "\r\n":  the search from the start of
//   that line reads none of it and gives piece.size() - 2
inline std::size_t NextLineEndInPiece(std::string_view piece, std::string_view line_end,
                                      std::size_t known, std::size_t from) {
  if (from < kTextPieceBytes) {
    const std::size_t bound = std::min(piece.size(), kTextPieceBytes + line_end.size() - 1);
    const std::size_t q = FindSeparator(piece.substr(0, bound), line_end, known, from);
    if (q != std::string_view::npos) return q;
  }
  const std::size_t last = piece.size() - std::min(piece.size(), line_end.size());
  return last >= std::max(from, kTextPieceBytes) && piece.ends_with(line_end)
             ? last
             : std::string_view::npos;
}

// A line this long is worked on a step at a time where the pieces are taken, rather than as
// one piece's result.
inline constexpr std::size_t kLongLineBytes = 4 * kTextPieceBytes;

// A piece `RunOverLines` cut at "\n" that is one line longer than `longer_than`: that line
// without its line end, as `NextLine` gives it (found without reading it through); otherwise
// an empty view. Such a line is best written from the text itself (`WriteInSteps`) than
// copied into a result.
inline std::string_view LongLineOfPiece(std::string_view piece, std::size_t longer_than) {
  if (piece.size() <= longer_than) return {};
  const std::size_t lf = NextLineEndInPiece(piece, "\n", 0, 0);
  if (lf == std::string_view::npos) return piece;
  return lf + 1 == piece.size() ? TakeLineEndingAt(piece, lf) : std::string_view();
}

// A `scanned` for a part of the text that begins at `start`: `end` within the part is heard
// as `start + end` of the text, and nothing is heard without `scanned`. Holds a reference to
// `scanned`, which must outlive it.
inline std::function<void(std::size_t)> ScannedFrom(const std::function<void(std::size_t)>& scanned,
                                                    std::size_t start) {
  return [&scanned, start](std::size_t end) {
    if (scanned) scanned(start + end);
  };
}

// Writes `part` 64 MB at a time (`ScanInSteps`, text/lines.h), `scanned(end)` hearing after
// each step that the bytes of `part` before `end` were read, so that the pages of a mapped
// text can go back as a long line is written from it. False when `write` is.
template <typename Sink>
bool WriteInSteps(std::string_view part, Sink&& write,
                  const std::function<void(std::size_t)>& scanned) {
  return ScanInSteps(
      part.size(),
      [&](std::size_t at, std::size_t end) { return write(part.substr(at, end - at)); }, scanned);
}

// Writes, part by part, lines joined by CR LF with none before the first or after the last,
// as every page's result is. A part is its lines, each after a CR LF (`Write`) or each
// followed by one (`WriteEnded`); an empty part has no line.
//   JoinedLines joined;
//   joined.Write("\r\na\r\nb", write); joined.Write("", write); joined.WriteEnded("c\r\n", write);
//   // write heard "a\r\nb", "\r\n", "c"
class JoinedLines {
 public:
  // False when `write` is.
  template <typename Sink>
  bool Write(std::string_view part, Sink&& write) {
    if (part.empty()) return true;
    if (first_) part.remove_prefix(2);
    first_ = false;
    return part.empty() || write(part);
  }
  template <typename Sink>
  bool WriteEnded(std::string_view part, Sink&& write) {
    if (part.empty()) return true;
    if (!first_ && !write("\r\n")) return false;
    first_ = false;
    return write(part.substr(0, part.size() - 2));
  }

 private:
  bool first_ = true;
};

}  // namespace lanzhou

#endif  // LANZHOU_RUN_ORDERED_PIPELINE_H_
