// The POSIX stub's front end: the questions (with the shipper's title, message and licence) and a
// one-line progress display on the controlling terminal, Ctrl-C as the Cancel button, errors on
// stderr. Without a terminal the questions count as not shown (accepted) and no progress is drawn.
#pragma once

#include <cstdint>
#include <string>

#include "app/FrontEnd.h"
#include "platform/posix/Terminal.h"

namespace app {
namespace posix {

class TerminalFrontEnd : public FrontEnd {
  public:
    TerminalFrontEnd();
    TerminalFrontEnd(const TerminalFrontEnd&) = delete;
    TerminalFrontEnd& operator=(const TerminalFrontEnd&) = delete;
    ~TerminalFrontEnd() override;

    void confirm() override;
    std::string chooseDestination(const std::string& initial) override;
    // The licence a page at a time (Enter turns the page), then "Accept? [y/N]".
    void acceptLicense(const std::string& text) override;

    void createProgress() override;
    void startProgress(std::uint32_t total) override;
    bool advanceProgress(std::uint32_t done) override;
    void showName(const std::string& name) override;
    void destroyProgress() override;
    bool isCancelled() const override;

    // Asks with the echo off; three questions at most come from the reader.
    bool askPassword(const std::string& entry, unsigned wrongTries, std::string& password) override;

    void showError(const std::string& text) override;
    void showMessage(const std::string& text) override;
    void note(const std::string& text) override;
    void noteSkipped(const std::string& text) override;

  private:
    // One line typed by the user, without its end; false on end of input or Ctrl-C.
    bool readLine(std::string& line);
    // Asks a yes/no question, no being the default; false also on end of input or Ctrl-C.
    bool askYes(const std::string& question);
    void draw();

    platform::posix::Terminal terminal_;
    bool showing_ = false;
    std::uint32_t divisor_ = 1;
    unsigned percent_ = 0;
    std::string name_;
    std::string drawn_;
};

}  // namespace posix
}  // namespace app
