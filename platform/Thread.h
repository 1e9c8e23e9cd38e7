// Threads, a lock and a condition for the parallel extraction. The Windows stub is built with the
// win32 flavour of the compiler, whose C++ library has no std::thread or std::mutex; rather than
// link a pthreads emulation into every self-extracting file, these wrap what each system has:
// CreateThread, slim reader/writer locks and condition variables on Windows, the C++ library's
// own classes elsewhere.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// How many threads the machine runs at once; at least 1.
unsigned processorCount();

class Mutex {
  public:
    Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    ~Mutex();

    void lock();
    void unlock();

  private:
    friend class Condition;
    struct State;
    std::unique_ptr<State> state_;
};

// Holds a mutex for its lifetime.
class MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() { mutex_.unlock(); }

  private:
    Mutex& mutex_;
};

// Waits for a change that another thread makes under the same mutex. As with any condition
// variable, a wait may end without a notification: callers test their predicate in a loop.
class Condition {
  public:
    Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;
    ~Condition();

    // `locked` is held by the caller; it is released while waiting and held again on return.
    void wait(Mutex& locked);
    // As wait, for at most `milliseconds`.
    void waitFor(Mutex& locked, std::uint32_t milliseconds);
    void notifyOne();
    void notifyAll();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// One thread running `body`. The destructor waits for it. An exception that leaves the body ends
// the program (as with std::thread): bodies catch what they can report. When the system gives no
// thread (out of resources), the body never runs and started() says so: the caller does the
// work with the threads it has.
class Thread {
  public:
    explicit Thread(std::function<void()> body);
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    bool started() const;
    // Waits for the body to end; a second call does nothing.
    void join();

  private:
    struct State;
    std::unique_ptr<State> state_;
    bool started_ = false;
};

}  // namespace platform
