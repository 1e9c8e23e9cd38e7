// The one exception hierarchy of the program: every failure is thrown as a class of this file,
// carrying a message and a short kind word that names its category.
#pragma once

#include <exception>
#include <string>

namespace generic {

// Exceptions may be copied (they are thrown by value) but never assigned to one another.
class non_assignable {
  protected:
    non_assignable() = default;
    non_assignable(const non_assignable&) = default;
    ~non_assignable() = default;

  public:
    non_assignable& operator=(const non_assignable&) = delete;
};

class exception : public std::exception, public virtual non_assignable {
  public:
    exception(std::string message, std::string kind)
        : message_(std::move(message)), kind_(std::move(kind)) {}
    exception(const exception& other)
        : non_assignable(), std::exception(other), message_(other.message_), kind_(other.kind_) {}

    const std::string& message() const { return message_; }
    const std::string& kind() const { return kind_; }

  private:
    std::string message_;
    std::string kind_;
};

// The text the user sees for an exception: kind + " exception: " + message + ".".
inline std::string describe(const exception& e) {
    return e.kind() + " exception: " + e.message() + ".";
}

}  // namespace generic

namespace brindle5 {
namespace exception {

class Exception : public generic::exception {
  public:
    Exception(std::string message, std::string kind)
        : generic::exception(std::move(message), std::move(kind)) {}
};

#define ZIPSFX_BRINDLE_EXCEPTION(Name, Kind)               \
    class Name : public Exception {                        \
      public:                                              \
        explicit Name(std::string message = std::string()) \
            : Exception(std::move(message), Kind) {}       \
    };

ZIPSFX_BRINDLE_EXCEPTION(Evacuation, "Evacuation")
ZIPSFX_BRINDLE_EXCEPTION(Input, "Input")
ZIPSFX_BRINDLE_EXCEPTION(BadArgument, "Bad argument")
ZIPSFX_BRINDLE_EXCEPTION(UnsupportedFormat, "Unsupported format")
ZIPSFX_BRINDLE_EXCEPTION(UnsupportedMethod, "Unsupported method")
ZIPSFX_BRINDLE_EXCEPTION(BadFormat, "Bad format")
ZIPSFX_BRINDLE_EXCEPTION(BadData, "Bad data")
ZIPSFX_BRINDLE_EXCEPTION(Output, "Output")
// No password was given for an encrypted entry, or none of those given fits it.
ZIPSFX_BRINDLE_EXCEPTION(Password, "Password")

#undef ZIPSFX_BRINDLE_EXCEPTION

}  // namespace exception
}  // namespace brindle5

namespace io {

class Exception : public generic::exception {
  public:
    explicit Exception(std::string message) : generic::exception(std::move(message), "I/O") {}
};

class InputException : public Exception {
  public:
    explicit InputException(std::string message) : Exception(std::move(message)) {}
};

class OutputException : public Exception {
  public:
    explicit OutputException(std::string message) : Exception(std::move(message)) {}
};

// A file could not be created because its name is taken (by anything, a link included).
class NameTakenException : public OutputException {
  public:
    explicit NameTakenException(std::string message) : OutputException(std::move(message)) {}
};

}  // namespace io

namespace algorithm {

// The kind word is the throw site's: "algorithm" everywhere but the Shrink decompressor.
class Exception : public generic::exception {
  public:
    explicit Exception(std::string message, std::string kind = "algorithm")
        : generic::exception(std::move(message), std::move(kind)) {}
};

}  // namespace algorithm

namespace format {

class Exception : public generic::exception {
  public:
    explicit Exception(std::string message) : generic::exception(std::move(message), "format") {}
};

}  // namespace format

namespace stream {

class Exception : public generic::exception {
  public:
    explicit Exception(std::string message) : generic::exception(std::move(message), "stream") {}
};

}  // namespace stream
