// The C++ runtime reports misuse of its containers (a string grown too long, a position past the
// end) by throwing std::length_error and its relatives, whose constructors bring a second,
// copy-on-write string implementation and its exception classes into the program (about 50 KB
// of the Windows stub). The stub catches those only with catch (...), where the type of the
// object does not matter (the run ends with "another failure" either way), so they are thrown
// here as one small exception that keeps the runtime's text. Like Terminate.cpp, this is an
// object of the stub itself: the runtime's references find these definitions before its own.
#include <exception>
#include <new>
#include <string>

namespace {

class RuntimeLibraryError : public std::exception {
  public:
    explicit RuntimeLibraryError(const char* text) : text_(text) {}
    const char* what() const noexcept override { return text_; }

  private:
    const char* text_;
};

}  // namespace

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_length_error(const char* text) {
    throw RuntimeLibraryError(text);
}

void __throw_logic_error(const char* text) {
    throw RuntimeLibraryError(text);
}

void __throw_out_of_range(const char* text) {
    throw RuntimeLibraryError(text);
}

// std::thread and std::mutex report a failed system call so (the POSIX threads). The runtime's
// own definition shares an object with the throws above, so linking it would define them twice.
// platform::Thread takes any std::exception from std::thread for "no thread to be had".
void __throw_system_error(int) {
    throw RuntimeLibraryError("a system call of the threads failed");
}

// The text is the runtime's format, its numbers left out.
void __throw_out_of_range_fmt(const char* format, ...) {
    throw RuntimeLibraryError(format);
}

}  // namespace std
