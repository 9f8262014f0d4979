#include "launcher/tokenizer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// Tokenizes the text, dropping the empty tokens when asked; only a reserved
// slot 0 may be null, and shows as "<null>".
Strings split(const char* text, bool reserve = false, bool drop_empty = false)
{
    ArgVector args{-1, reinterpret_cast<char**>(&args)};
    tokenize_command_line(text, &args, reserve);
    if (drop_empty)
        drop_empty_tokens(&args);
    EXPECT_EQ(args.items == nullptr, args.count == 0);
    Strings tokens;
    for (int32_t i = 0; i < args.count; ++i) {
        if (args.items[i] == nullptr) {
            EXPECT_TRUE(reserve && i == 0) << "slot " << i << " is null";
        }
        tokens.push_back(args.items[i] == nullptr ? "<null>" : args.items[i]);
    }
    free_arg_vector(&args);
    EXPECT_EQ(args.count, 0);
    EXPECT_EQ(args.items, nullptr);
    return tokens;
}

} // namespace

TEST(Tokenizer, SplitsByTheLaunchersOwnRules)
{
    const struct {
        const char* text;
        Strings expected;
    } rows[] = {
        {"a b c", {"a", "b", "c"}},
        {"a  b", {"a", "", "b"}},
        {"   a", {"a"}},
        {"a ", {"a"}},
        {"a  ", {"a", ""}},
        {"   ", {""}},
        {"a\tb", {"a\tb"}},
        {R"("C:\Program Files\x.jar")", {R"(C:\Program Files\x.jar)"}},
        {R"("a b" c)", {"a b", "c"}},
        {R"("a b"c)", {"a b"}},
        {R"(-Dname="value with blank")", {"-Dname=value with blank"}},
        {R"(a\"b)", {R"(a"b)"}},
        {R"(a\"b c)", {R"(a"b)", "c"}},
        {R"(a\\b)", {R"(a\\b)"}},
        {R"(a\ b)", {"a", "b"}},
        {R"(a\  b)", {"a", "", "b"}},
        {R"(a\ "b c")", {"a", "", "c"}},
        {R"("C:\dir\")", {R"(C:\dir)"}},
        {R"(x "C:\dir\")", {"x", R"(C:\dir)"}},
        {R"("C:\dir\" more)", {R"(C:\dir" mor)"}},
        {"\"", {""}},
        {"\"\"", {""}},
        {"\"a ", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("text: [") + row.text + "]");
        EXPECT_EQ(split(row.text), row.expected);
    }
}

TEST(Tokenizer, ReservedSlotZeroIsCountedAndLeftNullAndNoTextGivesNoTokens)
{
    EXPECT_EQ(split("a b c", true), (Strings{"<null>", "a", "b", "c"}));
    for (const char* text : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(text == nullptr ? "null text" : "empty text");
        EXPECT_EQ(split(text), Strings{});
        EXPECT_EQ(split(text, true), Strings{"<null>"});
    }
}

TEST(UnquoteToken, KeepsBackslashesExceptBeforeAQuoteAndDropsBareQuotes)
{
    const struct {
        const char* token;
        const char* expected;
    } rows[] = {
        {"", ""},
        {"plain", "plain"},
        {R"(\")", R"(")"},
        {R"(\\)", R"(\\)"},
        {R"(\x)", R"(\x)"},
        {R"(a"b"c)", "abc"},
        {R"(""")", ""},
        {R"("\"")", R"(")"},
        {R"(\\")", R"(\\)"},
        {R"(abc\)", "abc"},
        {R"(C:\dir\)", R"(C:\dir)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("token: [") + row.token + "]");
        std::string buffer = row.token;
        unquote_token(&buffer[0]);
        EXPECT_STREQ(buffer.c_str(), row.expected);
    }
}

TEST(NextToken, SkipsRunsOfDelimitersAndEndsWithNull)
{
    const struct {
        const char* text;
        const char* delimiters;
        Strings expected;
    } rows[] = {
        {";;a;;b;", ";", {"a", "b"}},
        {"x, y;;z", ", ;", {"x", "y", "z"}},
        {";;;", ";", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("text: [") + row.text + "]");
        std::string text = row.text;
        char* cursor = nullptr;
        Strings seen;
        while (char* t = next_token(&text[0], row.delimiters, &cursor))
            seen.push_back(t);
        EXPECT_EQ(seen, row.expected);
        EXPECT_EQ(cursor, nullptr);
        cursor = &text[0];
        EXPECT_EQ(next_token(nullptr, row.delimiters, &cursor), nullptr);
        EXPECT_EQ(cursor, nullptr);
    }
}

// The round trip of every token through its line is a fuzz property.
TEST(AppendQuotedArgument, LineThatWouldNotFitIsLeftAsItWas)
{
    char line[16] = "--open";
    EXPECT_FALSE(append_quoted_argument(line, sizeof line, "C:\\My Docs"));
    EXPECT_STREQ(line, "--open");
    EXPECT_TRUE(append_quoted_argument(line, sizeof line, "C:\\My"));
    EXPECT_STREQ(line, "--open C:\\My");
}

TEST(DropEmptyTokens, KeepsTheOthersInOrder)
{
    const struct {
        const char* text;
        Strings expected;
    } rows[] = {
        {"-Xmx256m  -Da=b", {"-Xmx256m", "-Da=b"}},
        {"-Xmx256m   ", {"-Xmx256m"}},
        {"\"\" x \"\"", {"x"}},
        {"   ", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(split(row.text, false, true), row.expected) << row.text;
}
