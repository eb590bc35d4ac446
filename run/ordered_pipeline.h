// Work on the pieces of a large input on several threads, with the results handed on in the
// order of the pieces: the output of a parallel run is byte for byte that of a serial one.
#ifndef LANZHOU_SERVICES_ORDERED_PIPELINE_H_
#define LANZHOU_SERVICES_ORDERED_PIPELINE_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

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
template <typename Piece, typename Result, typename Next, typename Work, typename Take>
bool RunInOrder(int threads, Next&& next, Work&& work, Take&& take) {
  if (threads <= 1) {
    Piece piece{};
    Result result{};
    while (next(piece)) {
      work(piece, result);
      if (!take(piece, result)) return false;
      piece = Piece{};
    }
    return true;
  }

  enum class State { kFree, kQueued, kWorking, kDone };
  struct Slot {
    Piece piece{};
    Result result{};
    State state = State::kFree;
  };
  std::vector<Slot> slots;  // the ring, sized once the workers are known
  std::mutex mutex;
  std::condition_variable queued;  // a piece is waiting, or the run stops
  std::condition_variable done;    // a piece is done
  std::deque<std::size_t> queue;
  bool stopping = false;
  std::exception_ptr failure;

  auto work_on = [&](std::size_t i, std::unique_lock<std::mutex>& lock) {
    slots[i].state = State::kWorking;
    lock.unlock();
    try {
      work(slots[i].piece, slots[i].result);
    } catch (...) {
      lock.lock();
      if (!failure) failure = std::current_exception();
      lock.unlock();
    }
    lock.lock();
    slots[i].state = State::kDone;
  };

  std::vector<std::jthread> workers;
  auto stop = [&] {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    queued.notify_all();
    workers.clear();  // joins
  };
  workers.reserve(static_cast<std::size_t>(threads) - 1);
  for (int t = 1; t < threads; ++t) {
    // A thread the system will not start (a process or memory limit) leaves the work to
    // those that did, down to the calling thread alone.
    try {
      workers.emplace_back([&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (true) {
          queued.wait(lock, [&] { return stopping || !queue.empty(); });
          if (stopping) return;
          const std::size_t i = queue.front();
          queue.pop_front();
          work_on(i, lock);
          done.notify_all();
        }
      });
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  const std::size_t capacity = 2 * (workers.size() + 1);

  bool ok = true;
  try {
    // Workers touch a slot only once it is queued, after this.
    slots.resize(capacity);
    std::size_t head = 0;  // the oldest piece in flight
    std::size_t tail = 0;  // one past the newest
    bool more = true;
    while (true) {
      while (more && tail - head < capacity) {
        Slot& slot = slots[tail % capacity];
        if (!next(slot.piece)) {
          more = false;
          break;
        }
        {
          std::lock_guard<std::mutex> lock(mutex);
          slot.state = State::kQueued;
          queue.push_back(tail % capacity);
        }
        queued.notify_one();
        ++tail;
      }
      if (head == tail) break;
      Slot& oldest = slots[head % capacity];
      {
        std::unique_lock<std::mutex> lock(mutex);
        // Rather than wait idle, this thread takes on the oldest piece no one has started.
        while (oldest.state != State::kDone && !queue.empty() && !failure) {
          const std::size_t i = queue.front();
          queue.pop_front();
          work_on(i, lock);
        }
        done.wait(lock, [&] { return oldest.state == State::kDone || failure; });
        if (failure) break;
      }
      if (!take(oldest.piece, oldest.result)) {
        ok = false;
        break;
      }
      oldest.piece = Piece{};
      oldest.state = State::kFree;
      ++head;
    }
  } catch (...) {
    stop();
    throw;
  }
  stop();
  if (failure) std::rethrow_exception(failure);
  return ok;
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

// The end of a piece of `text` from `start` (a character start) of about `size` bytes: just
// after the first separator (`FindSeparator`, text/gbk_chars.h) at or after start + size,
// or the end of the text.
//   PieceEndAfter("ab\r\ncd\r\nef", "\r\n", 0, 1) == 4
std::size_t PieceEndAfter(std::string_view text, std::string_view separator, std::size_t start,
                          std::size_t size);

}  // namespace lanzhou

#endif  // LANZHOU_SERVICES_ORDERED_PIPELINE_H_
