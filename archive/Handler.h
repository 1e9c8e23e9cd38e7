// Handler objects and the numbered notification lists of the archive object. A handler stores a
// function and an opaque user-data pointer; its bool result means "go on".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vessel5 {

using Handler0 = bool (*)(void* user);
using Handler1 = bool (*)(std::uint64_t argument, void* user);
using TextHandler = bool (*)(const std::string& path, void* user);

// One registered handler. An event carries a 64-bit argument or a text (the name-change event);
// each kind of handler takes the part it was made for.
class Handler {
  public:
    explicit Handler(void* user) : user_(user) {}
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;
    virtual ~Handler() = default;

    virtual bool invoke(std::uint64_t argument, const std::string& text) = 0;

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    void* user() const { return user_; }

  private:
    bool enabled_ = true;
    void* user_;
};

class PlainHandler : public Handler {
  public:
    PlainHandler(Handler0 function, void* user) : Handler(user), function_(function) {}
    bool invoke(std::uint64_t, const std::string&) override { return function_(user()); }

  private:
    Handler0 function_;
};

class ArgumentHandler : public Handler {
  public:
    ArgumentHandler(Handler1 function, void* user) : Handler(user), function_(function) {}
    bool invoke(std::uint64_t argument, const std::string&) override {
        return function_(argument, user());
    }

  private:
    Handler1 function_;
};

class TextArgumentHandler : public Handler {
  public:
    TextArgumentHandler(TextHandler function, void* user) : Handler(user), function_(function) {}
    bool invoke(std::uint64_t, const std::string& text) override { return function_(text, user()); }

  private:
    TextHandler function_;
};

// The list numbers. Lists without a name here exist but nothing notifies them.
enum List : int {
    kDestinationWanted = 0,  // before extraction; false cancels
    kDecoded = 1,            // the last step of decoding
    kNameChanged = 5,        // an output name was altered; carries the new path
    kItemStarted = 6,        // a file entry is about to be written; false skips it
    kItemDone = 7,           // a file entry was written and closed
    kItemFailed = 8,         // a file entry failed; true deletes its partial output
    kItemSkipped = 10,       // an entry was not written; carries "name: reason"
    // An encrypted entry needs a password (Archive::passwordEntry names it); carries how many
    // wrong ones were given for it so far. A handler sets the archive's password and answers
    // true, answers false when it has none to give, or throws Evacuation for Cancel.
    kPasswordWanted = 11,
    // The scan lists are kept as part of the archive library's API; no program of ours uses them.
    kScanFile = 9,     // scan lists a file entry; false cancels
    kScanFolder = 13,  // scan lists a folder entry; false cancels
    kScanStarted = 17,
    kScanEnded = 18,
    kScanNext = 19,  // before each central record is read; false cancels
    kStarted = 20,   // carries the total uncompressed size
    kEnded = 21,
    kProgress = 22,  // carries the bytes done so far; false cancels
};

constexpr int kListCount = 23;

// The 23 lists. Each owns its handlers, in registration order. Dispatch runs over a copy, so a
// handler may register further handlers without disturbing the event in flight; those are
// called from the next event on.
class HandlerLists {
  public:
    Handler& add(int list, std::unique_ptr<Handler> handler);
    Handler& add(int list, Handler0 function, void* user);
    Handler& add(int list, Handler1 function, void* user);
    Handler& add(int list, TextHandler function, void* user);

    // Calls every enabled handler; results are ignored.
    void notify(int list, std::uint64_t argument = 0);
    void notifyText(int list, const std::string& text);
    // Calls the enabled handlers while all answer true; true when none answered false.
    bool dispatch(int list, std::uint64_t argument = 0);

    std::size_t size(int list) const;

  private:
    std::vector<std::unique_ptr<Handler>>& at(int list);
    const std::vector<std::unique_ptr<Handler>>& at(int list) const;
    std::vector<Handler*> snapshot(int list) const;
    bool run(int list, std::uint64_t argument, const std::string& text, bool stopAtFalse);

    std::array<std::vector<std::unique_ptr<Handler>>, kListCount> lists_;
};

}  // namespace vessel5
