#include "platform/Thread.h"

#include <windows.h>

#include <utility>

namespace platform {

unsigned processorCount() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors == 0 ? 1 : info.dwNumberOfProcessors;
}

struct Mutex::State {
    SRWLOCK lock = SRWLOCK_INIT;
};

Mutex::Mutex() : state_(std::make_unique<State>()) {}
Mutex::~Mutex() = default;

void Mutex::lock() {
    AcquireSRWLockExclusive(&state_->lock);
}

void Mutex::unlock() {
    ReleaseSRWLockExclusive(&state_->lock);
}

struct Condition::State {
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

Condition::Condition() : state_(std::make_unique<State>()) {}
Condition::~Condition() = default;

void Condition::wait(Mutex& locked) {
    SleepConditionVariableSRW(&state_->condition, &locked.state_->lock, INFINITE, 0);
}

void Condition::waitFor(Mutex& locked, std::uint32_t milliseconds) {
    SleepConditionVariableSRW(&state_->condition, &locked.state_->lock, milliseconds, 0);
}

void Condition::notifyOne() {
    WakeConditionVariable(&state_->condition);
}

void Condition::notifyAll() {
    WakeAllConditionVariable(&state_->condition);
}

struct Thread::State {
    std::function<void()> body;
    HANDLE handle = nullptr;
};

namespace {

DWORD WINAPI runBody(void* state) noexcept {
    // noexcept: an exception that leaves the body ends the program, as with std::thread.
    static_cast<std::function<void()>*>(state)->operator()();
    return 0;
}

}  // namespace

Thread::Thread(std::function<void()> body) : state_(std::make_unique<State>()) {
    state_->body = std::move(body);
    // The body lives in state_, which outlives the thread: the destructor joins first.
    state_->handle = CreateThread(nullptr, 0, runBody, &state_->body, 0, nullptr);
    started_ = state_->handle != nullptr;
}

bool Thread::started() const {
    return started_;
}

Thread::~Thread() {
    join();
}

void Thread::join() {
    if (state_->handle != nullptr) {
        WaitForSingleObject(state_->handle, INFINITE);
        CloseHandle(state_->handle);
        state_->handle = nullptr;
    }
}

}  // namespace platform
