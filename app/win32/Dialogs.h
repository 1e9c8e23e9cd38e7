// The confirmation, licence and destination dialogs of the Windows stub, the progress window and
// the error box, behind the front-end interface of the extraction run.
#pragma once

#include <windows.h>

#include <string>

#include "app/FrontEnd.h"
#include "app/win32/ProgressWindow.h"

namespace app {
namespace win32 {

class DialogFrontEnd : public FrontEnd {
  public:
    explicit DialogFrontEnd(HINSTANCE instance) : instance_(instance), progress_(instance) {}

    void confirm() override;
    std::string chooseDestination(const std::string& initial) override;
    void acceptLicense(const std::string& text) override;

    void createProgress() override {
        progress_.setCaption(texts_.title);
        progress_.create();
    }
    void startProgress(std::uint32_t total) override { progress_.start(total); }
    bool advanceProgress(std::uint32_t done) override { return progress_.advance(done); }
    void showName(const std::string& name) override { progress_.showName(name); }
    void destroyProgress() override { progress_.destroy(); }
    bool isCancelled() const override { return progress_.isCancelled(); }

    // The PASSWORD dialog: hidden characters, OK and Cancel.
    bool askPassword(const std::string& entry, unsigned wrongTries, std::string& password) override;

    void showError(const std::string& text) override;
    void showMessage(const std::string& text) override;

  private:
    bool hasTemplate(const char* name) const;

    HINSTANCE instance_;
    ProgressWindow progress_;
};

}  // namespace win32
}  // namespace app
