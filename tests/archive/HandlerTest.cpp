// Notification lists: order, copies, results, and the three kinds of handler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exception.h"
#include "archive/Handler.h"

namespace {

// Records every call as "<tag>:<argument>" and answers what it was told to.
struct Recorder {
    std::vector<std::string> calls;
};

struct Answer {
    Recorder* recorder;
    std::string tag;
    bool result;
};

bool plain(void* user) {
    auto* answer = static_cast<Answer*>(user);
    answer->recorder->calls.push_back(answer->tag);
    return answer->result;
}

bool withArgument(std::uint64_t argument, void* user) {
    auto* answer = static_cast<Answer*>(user);
    answer->recorder->calls.push_back(answer->tag + ":" + std::to_string(argument));
    return answer->result;
}

bool withText(const std::string& text, void* user) {
    auto* answer = static_cast<Answer*>(user);
    answer->recorder->calls.push_back(answer->tag + ":" + text);
    return answer->result;
}

TEST(HandlerLists, EmptyListDispatchesTrue) {
    vessel5::HandlerLists lists;
    for (int list = 0; list < vessel5::kListCount; ++list) {
        EXPECT_TRUE(lists.dispatch(list, 7)) << "list " << list;
        lists.notify(list, 7);
    }
}

TEST(HandlerLists, HandlerRegisteredTwiceIsCalledTwice) {
    vessel5::HandlerLists lists;
    Recorder recorder;
    Answer a{&recorder, "a", true};
    lists.add(vessel5::kProgress, withArgument, &a);
    lists.add(vessel5::kProgress, withArgument, &a);

    EXPECT_TRUE(lists.dispatch(vessel5::kProgress, 42));
    lists.notify(vessel5::kProgress, 43);

    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"a:42", "a:42", "a:43", "a:43"}));
}

TEST(HandlerLists, DispatchStopsAtFirstFalseButNotifyCallsAll) {
    vessel5::HandlerLists lists;
    Recorder recorder;
    Answer a{&recorder, "a", true};
    Answer b{&recorder, "b", false};
    Answer c{&recorder, "c", true};
    for (Answer* answer : {&a, &b, &c}) {
        lists.add(vessel5::kItemStarted, withArgument, answer);
    }

    EXPECT_FALSE(lists.dispatch(vessel5::kItemStarted, 1));
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"a:1", "b:1"}));

    recorder.calls.clear();
    lists.notify(vessel5::kItemStarted, 2);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"a:2", "b:2", "c:2"}));
}

TEST(HandlerLists, ListsAreSeparateAndKindsGetTheirPart) {
    vessel5::HandlerLists lists;
    Recorder recorder;
    Answer plainAnswer{&recorder, "plain", true};
    Answer textAnswer{&recorder, "text", true};
    Answer numberAnswer{&recorder, "number", true};
    vessel5::Handler& handler = lists.add(vessel5::kDestinationWanted, plain, &plainAnswer);
    lists.add(vessel5::kNameChanged, withText, &textAnswer);
    lists.add(vessel5::kStarted, withArgument, &numberAnswer);

    EXPECT_TRUE(handler.enabled());
    EXPECT_EQ(handler.user(), &plainAnswer);
    EXPECT_TRUE(lists.dispatch(vessel5::kDestinationWanted));
    lists.notifyText(vessel5::kNameChanged, "out/a_1.txt");
    lists.notify(vessel5::kStarted, 0xFFFFFFFFu);
    lists.notify(vessel5::kEnded);

    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"plain", "text:out/a_1.txt", "number:4294967295"}));
    EXPECT_EQ(lists.size(vessel5::kDestinationWanted), 1u);
    EXPECT_EQ(lists.size(vessel5::kEnded), 0u);
}

TEST(HandlerLists, DisabledHandlerIsSkipped) {
    vessel5::HandlerLists lists;
    Recorder recorder;
    Answer no{&recorder, "no", false};
    lists.add(vessel5::kProgress, withArgument, &no).setEnabled(false);
    EXPECT_TRUE(lists.dispatch(vessel5::kProgress, 1));
    EXPECT_TRUE(recorder.calls.empty());
}

// A handler that registers another one on its own list while being called.
struct Registering {
    vessel5::HandlerLists* lists;
    Answer* added;
    int calls = 0;
};

bool registerAnother(void* user) {
    auto* self = static_cast<Registering*>(user);
    ++self->calls;
    self->lists->add(vessel5::kEnded, plain, self->added);
    return true;
}

TEST(HandlerLists, HandlerAddedDuringDispatchWaitsForTheNextEvent) {
    vessel5::HandlerLists lists;
    Recorder recorder;
    Answer added{&recorder, "added", true};
    Registering registering{&lists, &added};
    lists.add(vessel5::kEnded, registerAnother, &registering);

    lists.notify(vessel5::kEnded);
    EXPECT_TRUE(recorder.calls.empty());
    lists.notify(vessel5::kEnded);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"added"}));
    EXPECT_EQ(registering.calls, 2);
}

TEST(HandlerLists, ListNumbersOutsideTheRangeAreRefused) {
    vessel5::HandlerLists lists;
    EXPECT_THROW(lists.notify(-1), brindle5::exception::BadArgument);
    EXPECT_THROW(lists.dispatch(vessel5::kListCount), brindle5::exception::BadArgument);
    EXPECT_THROW(lists.add(23, plain, nullptr), brindle5::exception::BadArgument);
}

}  // namespace
