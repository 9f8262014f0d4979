// The command-line tokenizer, unquote_token, next_token, and the quoting of
// forwarded arguments on any text.
#include <cstring>

#include "fuzz_input.h"
#include "launcher/tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text = fuzz_text(data, size);

    ArgVector args{};
    tokenize_command_line(text.c_str(), &args, true);
    FUZZ_CHECK(args.count >= 1 && args.items[0] == nullptr, "slot 0 is reserved, count %d", args.count);
    size_t total = 0;
    for (int32_t i = 1; i < args.count; ++i) {
        FUZZ_CHECK(args.items[i] != nullptr, "token %d is null", i);
        total += strlen(args.items[i]);
    }
    FUZZ_CHECK(total <= text.size(), "tokens hold %zu bytes of %zu", total, text.size());

    // Forwarding: the tokens written again and split again are the tokens,
    // also where the line fills up (a short one, so that this is often) and
    // an argument that would not fit must leave it as it was.
    char line[512] = "first";
    int32_t written = 1;
    while (written < args.count && append_quoted_argument(line, sizeof line, args.items[written]))
        ++written;
    FUZZ_CHECK(memchr(line, '\0', sizeof line) != nullptr, "line not terminated");
    ArgVector again{};
    tokenize_command_line(line, &again, false);
    FUZZ_CHECK(again.count == written, "%d tokens forwarded, %d came back", written, again.count);
    for (int32_t i = 1; i < written && i < again.count; ++i)
        FUZZ_CHECK(strcmp(args.items[i], again.items[i]) == 0, "token %d \"%s\" came back as \"%s\"", i,
                   args.items[i], again.items[i]);
    free_arg_vector(&again);
    free_arg_vector(&args);

    std::string token = text;
    unquote_token(&token[0]);
    FUZZ_CHECK(strlen(token.c_str()) <= text.size(), "unquoting grew the token");

    std::string list = text;
    char* cursor = nullptr;
    size_t pieces = 0;
    for (char* piece = next_token(&list[0], ";,", &cursor); piece != nullptr;
         piece = next_token(&list[0], ";,", &cursor)) {
        FUZZ_CHECK(piece[0] != '\0', "an empty list entry");
        FUZZ_CHECK(strpbrk(piece, ";,") == nullptr, "a delimiter inside an entry");
        FUZZ_CHECK(++pieces <= text.size(), "more entries than bytes");
    }
    return 0;
}
