#include "launcher/tokenizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "expect_rows.h"

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

// Each row also holds with slot 0 reserved, and with the empty tokens dropped.
TEST(Tokenizer, SplitsByTheLaunchersOwnRules)
{
    const struct {
        const char* text;
        Strings expected;
    } rows[] = {
        {nullptr, {}},
        {"", {}},
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
        SCOPED_TRACE(std::string("text: [") + (row.text == nullptr ? "<null>" : row.text) + "]");
        EXPECT_EQ(split(row.text), row.expected);
        Strings reserved{"<null>"}, kept;
        reserved.insert(reserved.end(), row.expected.begin(), row.expected.end());
        EXPECT_EQ(split(row.text, true), reserved);
        std::copy_if(row.expected.begin(), row.expected.end(), std::back_inserter(kept),
                     [](const std::string& token) { return !token.empty(); });
        EXPECT_EQ(split(row.text, false, true), kept);
    }
}

TEST(UnquoteToken, KeepsBackslashesExceptBeforeAQuoteAndDropsBareQuotes)
{
    expect_rows<const char*, std::string>({
        {R"(\")", R"(")"},
        {R"(\\)", R"(\\)"},
        {R"(\x)", R"(\x)"},
        {R"(a"b"c)", "abc"},
        {R"(""")", ""},
        {R"("\"")", R"(")"},
        {R"(\\")", R"(\\)"},
        {R"(abc\)", "abc"},
        {R"(C:\dir\)", R"(C:\dir)"},
    }, [](std::string token) {
        unquote_token(&token[0]);
        return std::string(token.c_str());
    });
}
