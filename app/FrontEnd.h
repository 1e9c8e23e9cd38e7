// The user-facing side of an extraction run: the two questions, the progress display and the
// error box. The Windows stub shows dialogs; the POSIX stub talks to the terminal.
#pragma once

#include <cstdint>
#include <string>

#include "app/TextSettings.h"

namespace app {

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // The shipper's texts (title, message), given before any question or window is shown.
    void useTexts(const TextSettings& texts) { texts_ = texts; }

    // Asks whether to extract; returns to go on, throws brindle5::exception::Evacuation to stop.
    // A question that cannot be asked counts as answered yes.
    virtual void confirm() = 0;
    // Asks for the destination, offering `initial`; returns the folder, or throws Evacuation.
    // A question that cannot be asked returns `initial`.
    virtual std::string chooseDestination(const std::string& initial) = 0;
    // Shows the licence (UTF-8, with its line breaks) and asks for its acceptance; returns when
    // accepted, throws Evacuation when declined. A question that cannot be asked counts as
    // accepted, as the confirmation does.
    virtual void acceptLicense(const std::string& text) = 0;

    // The progress display: created before decoding, sized by the total byte count, moved by
    // the bytes done so far, named after the entry at hand, destroyed at the end. Destroying a
    // display that was never created is harmless.
    virtual void createProgress() = 0;
    virtual void startProgress(std::uint32_t total) = 0;
    // Moves the display and lets the user act on it; false once the user cancelled.
    virtual bool advanceProgress(std::uint32_t done) = 0;
    virtual void showName(const std::string& name) = 0;
    virtual void destroyProgress() = 0;
    // Whether the user cancelled (the one flag that every handler of the run reads).
    virtual bool isCancelled() const = 0;

    // Asks for the password of the encrypted entry `entry` (its stored name); `wrongTries` is how
    // many wrong ones were given for it so far (a second question says the first was wrong).
    // Returns false when it cannot ask (no terminal); throws Evacuation for Cancel.
    virtual bool askPassword(const std::string& entry, unsigned wrongTries, std::string& password) {
        (void)entry;
        (void)wrongTries;
        (void)password;
        return false;
    }

    // Shows a failure's text to the user.
    virtual void showError(const std::string& text) = 0;
    // Shows a text that is no failure (the usage, a test's result): a box, or standard output.
    virtual void showMessage(const std::string& text) = 0;
    // One line for whoever reads the program's error output, never something to click away
    // (the dialogs say nothing).
    virtual void note(const std::string&) {}
    // Tells about an entry that was not written ("name: reason"); the run goes on. The dialogs
    // say nothing, so as not to stop a run that succeeds otherwise.
    virtual void noteSkipped(const std::string&) {}

  protected:
    TextSettings texts_;
};

}  // namespace app
