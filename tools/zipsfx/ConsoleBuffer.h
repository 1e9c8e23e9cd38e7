// A stream buffer for a console that takes characters: collects the tool's UTF-8 output and
// hands whole characters to the platform's console writer, never half of one.
#pragma once

#include <streambuf>
#include <string>

#include "platform/Console.h"

namespace tools {

class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(platform::StandardStream stream) : stream_(stream) {}
    ConsoleBuffer(const ConsoleBuffer&) = delete;
    ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;
    ~ConsoleBuffer() override { sync(); }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    platform::StandardStream stream_;
    std::string pending_;
};

}  // namespace tools
