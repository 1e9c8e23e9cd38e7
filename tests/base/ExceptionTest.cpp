#include <gtest/gtest.h>

#include <type_traits>

#include "base/Exception.h"

namespace {

// Throws e and reports whether a handler for Catch took it.
template <typename Catch, typename Thrown>
bool caughtAs(const Thrown& e) {
    try {
        throw e;
    } catch (const Catch&) {
        return true;
    } catch (...) {
        return false;
    }
}

TEST(Exception, KindWordsOfTheHierarchy) {
    using namespace brindle5::exception;
    struct Case {
        std::string kind;
        std::string expected;
    };
    const Case cases[] = {
        {Evacuation().kind(), "Evacuation"},
        {Input("m").kind(), "Input"},
        {BadArgument("m").kind(), "Bad argument"},
        {UnsupportedFormat("m").kind(), "Unsupported format"},
        {UnsupportedMethod("m").kind(), "Unsupported method"},
        {BadFormat("m").kind(), "Bad format"},
        {BadData("m").kind(), "Bad data"},
        {Output("m").kind(), "Output"},
        {io::Exception("m").kind(), "I/O"},
        {io::InputException("m").kind(), "I/O"},
        {io::OutputException("m").kind(), "I/O"},
        {algorithm::Exception("m").kind(), "algorithm"},
        {algorithm::Exception("m", "ShrinkDecompressor").kind(), "ShrinkDecompressor"},
        {format::Exception("m").kind(), "format"},
        {stream::Exception("m").kind(), "stream"},
        {generic::exception("m", "FAT time").kind(), "FAT time"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.kind, c.expected);
    }
}

TEST(Exception, GenericCatchesEverythingBrindleCatchesOnlyItsOwn) {
    using brindle5::exception::Exception;
    EXPECT_TRUE(caughtAs<generic::exception>(brindle5::exception::BadData("x")));
    EXPECT_TRUE(caughtAs<generic::exception>(io::OutputException("x")));
    EXPECT_TRUE(caughtAs<generic::exception>(algorithm::Exception("x")));
    EXPECT_TRUE(caughtAs<generic::exception>(format::Exception("x")));
    EXPECT_TRUE(caughtAs<generic::exception>(stream::Exception("x")));
    EXPECT_TRUE(caughtAs<Exception>(brindle5::exception::Evacuation()));
    EXPECT_FALSE(caughtAs<Exception>(io::Exception("x")));
    EXPECT_FALSE(caughtAs<Exception>(algorithm::Exception("x")));
    EXPECT_FALSE(caughtAs<Exception>(format::Exception("x")));
    EXPECT_FALSE(caughtAs<Exception>(stream::Exception("x")));
    EXPECT_TRUE(caughtAs<io::Exception>(io::InputException("x")));
    EXPECT_TRUE(caughtAs<std::exception>(stream::Exception("x")));
}

TEST(Exception, CopyKeepsBothTextsAndAssignmentIsUnavailable) {
    static_assert(std::is_copy_constructible<brindle5::exception::BadFormat>::value, "");
    static_assert(!std::is_copy_assignable<generic::exception>::value, "");
    static_assert(!std::is_copy_assignable<brindle5::exception::BadFormat>::value, "");
    try {
        try {
            throw brindle5::exception::BadFormat(
                "cannot locate the central directory in zip reader");
        } catch (const generic::exception& e) {
            generic::exception copy(e);
            throw copy;
        }
    } catch (const generic::exception& e) {
        EXPECT_EQ(e.kind(), "Bad format");
        EXPECT_EQ(e.message(), "cannot locate the central directory in zip reader");
    }
}

TEST(Exception, UserTextIsKindSeparatorMessageAndStop) {
    EXPECT_EQ(generic::describe(
                  brindle5::exception::BadData("CRC mismatch in zip reader; data is invalid")),
              "Bad data exception: CRC mismatch in zip reader; data is invalid.");
    EXPECT_EQ(generic::describe(generic::exception("", "MarkedExecutableParser")),
              "MarkedExecutableParser exception: .");
    // what() is the standard base's own text, never the message.
    EXPECT_NE(std::string(stream::Exception("some message").what()), "some message");
}

}  // namespace
