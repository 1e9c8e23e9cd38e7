#include "platform/Thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <exception>
#include <thread>
#include <utility>

namespace platform {

unsigned processorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}

struct Mutex::State {
    std::mutex mutex;
};

Mutex::Mutex() : state_(std::make_unique<State>()) {}
Mutex::~Mutex() = default;

void Mutex::lock() {
    state_->mutex.lock();
}

void Mutex::unlock() {
    state_->mutex.unlock();
}

struct Condition::State {
    std::condition_variable condition;
};

Condition::Condition() : state_(std::make_unique<State>()) {}
Condition::~Condition() = default;

void Condition::wait(Mutex& locked) {
    // The caller holds the mutex: adopt it for the wait and hand it back still held.
    std::unique_lock<std::mutex> held(locked.state_->mutex, std::adopt_lock);
    state_->condition.wait(held);
    held.release();
}

void Condition::waitFor(Mutex& locked, std::uint32_t milliseconds) {
    std::unique_lock<std::mutex> held(locked.state_->mutex, std::adopt_lock);
    state_->condition.wait_for(held, std::chrono::milliseconds(milliseconds));
    held.release();
}

void Condition::notifyOne() {
    state_->condition.notify_one();
}

void Condition::notifyAll() {
    state_->condition.notify_all();
}

struct Thread::State {
    std::thread thread;
};

Thread::Thread(std::function<void()> body) : state_(std::make_unique<State>()) {
    try {
        state_->thread = std::thread(std::move(body));
        started_ = true;
    } catch (const std::exception&) {
        // No thread to be had: started() tells the caller. Not std::system_error by name: its
        // type information would bring the runtime's own throw functions into the POSIX stub,
        // which defines its own (app/RuntimeThrows.cpp), and the same failure arrives there as
        // another std::exception.
    }
}

bool Thread::started() const {
    return started_;
}

Thread::~Thread() {
    join();
}

void Thread::join() {
    if (state_->thread.joinable()) {
        state_->thread.join();
    }
}

}  // namespace platform
