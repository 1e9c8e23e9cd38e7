// The Windows backend's one seam between the program's UTF-8 text and the system's UTF-16:
// conversions, the long-path form of a file name and the system's words for an error code.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {
namespace win32 {

// UTF-16 text for the system's wide functions, always followed by a zero. The Windows backend's
// one wide text type: a second string class would be linked into the stub for it otherwise.
class WideText {
  public:
    WideText() = default;
    // length zeros: a buffer for the system to fill.
    explicit WideText(std::size_t length);

    const wchar_t* c_str() const { return text_ ? text_.get() : L""; }
    const wchar_t* data() const { return c_str(); }
    wchar_t* data() { return text_.get(); }
    std::size_t size() const { return size_; }
    bool startsWith(const wchar_t* prefix) const;
    // Keeps the first length characters (at most size()).
    void shorten(std::size_t length);

  private:
    std::unique_ptr<wchar_t[]> text_;
    std::size_t size_ = 0;
};

// Invalid UTF-8 becomes U+FFFD; unpaired surrogates on the way back do the same.
WideText wide(const std::string& text);
std::string narrow(const wchar_t* text, std::size_t length);
std::string narrow(const WideText& text);

// The name to hand to a wide file function: an absolute path longer than the classic limit gets
// the \\?\ form (\\?\UNC\server\share for a network share), built from its full name with
// backslashes, since that form turns off the system's own "/", "." and ".." handling.
WideText fileName(const std::string& path);

// The system's text for an error code (GetLastError), without the trailing line break.
std::string errorText(unsigned long code);

}  // namespace win32
}  // namespace platform
