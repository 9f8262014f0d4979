#include "launcher/tokenizer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

// Tokenizes without a reserved slot; every slot must hold a text.
Strings split(const char* text)
{
    ArgVector args{-1, nullptr};
    tokenize_command_line(text, &args, false);
    Strings tokens;
    for (int32_t i = 0; i < args.count; ++i) {
        if (args.items[i] == nullptr) {
            ADD_FAILURE() << "slot " << i << " is null";
            tokens.push_back("<null>");
        } else {
            tokens.push_back(args.items[i]);
        }
    }
    free_arg_vector(&args);
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

TEST(Tokenizer, ReservedSlotZeroIsCountedAndLeftNull)
{
    ArgVector args{};
    tokenize_command_line("a b c", &args, true);
    ASSERT_EQ(args.count, 4);
    ASSERT_NE(args.items, nullptr);
    EXPECT_EQ(args.items[0], nullptr);
    ASSERT_NE(args.items[1], nullptr);
    ASSERT_NE(args.items[3], nullptr);
    EXPECT_STREQ(args.items[1], "a");
    EXPECT_STREQ(args.items[2], "b");
    EXPECT_STREQ(args.items[3], "c");
    free_arg_vector(&args);
    EXPECT_EQ(args.count, 0);
    EXPECT_EQ(args.items, nullptr);
}

TEST(Tokenizer, NoTextOrEmptyTextGivesNoTokens)
{
    for (const char* text : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(text == nullptr ? "null text" : "empty text");
        ArgVector args{-1, reinterpret_cast<char**>(&args)};
        tokenize_command_line(text, &args, false);
        EXPECT_EQ(args.count, 0);
        EXPECT_EQ(args.items, nullptr);
        free_arg_vector(&args);

        tokenize_command_line(text, &args, true);
        ASSERT_EQ(args.count, 1);
        ASSERT_NE(args.items, nullptr);
        EXPECT_EQ(args.items[0], nullptr);
        free_arg_vector(&args);
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
    char text[] = ";;a;;b;";
    char* cursor = nullptr;
    char* token = next_token(text, ";", &cursor);
    ASSERT_NE(token, nullptr);
    EXPECT_STREQ(token, "a");
    token = next_token(text, ";", &cursor);
    ASSERT_NE(token, nullptr);
    EXPECT_STREQ(token, "b");
    EXPECT_EQ(next_token(text, ";", &cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);

    char mixed[] = "x, y;;z";
    cursor = nullptr;
    Strings seen;
    while (char* t = next_token(mixed, ", ;", &cursor))
        seen.push_back(t);
    EXPECT_EQ(seen, (Strings{"x", "y", "z"}));
    EXPECT_EQ(cursor, nullptr);

    char only_delimiters[] = ";;;";
    cursor = nullptr;
    EXPECT_EQ(next_token(only_delimiters, ";", &cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);

    cursor = only_delimiters;
    EXPECT_EQ(next_token(nullptr, ";", &cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
}

// A forwarded argument comes back from its line exactly as it was: here every
// token of every text of up to seven characters made of a, the blank, the
// double quote and the backslash, which includes every odd case above.
TEST(AppendQuotedArgument, TokenizingTheLineGivesBackEveryToken)
{
    const char alphabet[] = {'a', ' ', '"', '\\'};
    for (int length = 0; length <= 7; ++length) {
        int variants = 1 << (2 * length);
        for (int variant = 0; variant < variants; ++variant) {
            std::string text;
            for (int i = 0; i < length; ++i)
                text += alphabet[(variant >> (2 * i)) & 3];
            Strings tokens = split(text.c_str());
            char line[256] = "--open";
            for (const std::string& token : tokens)
                ASSERT_TRUE(append_quoted_argument(line, sizeof line, token.c_str()));
            Strings expected = {"--open"};
            expected.insert(expected.end(), tokens.begin(), tokens.end());
            ASSERT_EQ(split(line), expected) << "text [" << text << "] line [" << line << "]";
        }
    }
    char line[16] = "--open";
    EXPECT_FALSE(append_quoted_argument(line, sizeof line, "C:\\My Docs"));
    EXPECT_STREQ(line, "--open") << "a line that would not fit is left as it was";
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
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("text: [") + row.text + "]");
        ArgVector args{};
        tokenize_command_line(row.text, &args, false);
        drop_empty_tokens(&args);
        Strings kept;
        for (int32_t i = 0; i < args.count; ++i)
            kept.push_back(args.items[i]);
        EXPECT_EQ(kept, row.expected);
        EXPECT_EQ(args.items == nullptr, args.count == 0);
        free_arg_vector(&args);
    }
}
