#include "launcher/tokenizer.h"

#include <cstdlib>
#include <cstring>

namespace {

// The scanner state both passes of the tokenizer share.
struct ScanState {
    bool escape = false;
    bool quoted = false;
    bool last_was_blank = false;
};

// Feeds one character; true when an unquoted blank ends a token here.
bool scan_character(ScanState* state, char c)
{
    if (c == ' ') {
        // The escape flag survives a blank on purpose: it then applies to
        // the first character after the blank.
        state->last_was_blank = true;
        return !state->quoted;
    }
    if (state->escape) {
        state->escape = false;
        state->last_was_blank = false;
    } else if (c == '\\') {
        state->escape = true;
        state->last_was_blank = false;
    } else {
        state->last_was_blank = false;
        if (c == '"')
            state->quoted = !state->quoted;
    }
    return false;
}

const char* skip_blanks(const char* text)
{
    while (*text == ' ')
        ++text;
    return text;
}

// A token that starts with a quote loses its first and last character; a
// lone quote (too short to lose both) becomes an empty token.
char* make_token(const char* start, size_t length)
{
    if (length > 0 && start[0] == '"') {
        length = length >= 2 ? length - 2 : 0;
        start += 1;
    }
    char* token = static_cast<char*>(calloc(length + 1, 1));
    memcpy(token, start, length);
    unquote_token(token);
    return token;
}

} // namespace

void tokenize_command_line(const char* text, ArgVector* args, bool reserve_slot0)
{
    args->count = 0;
    args->items = nullptr;
    bool has_text = text != nullptr && text[0] != '\0';

    int32_t count = 0;
    if (has_text) {
        ScanState state;
        for (const char* p = skip_blanks(text); *p != '\0'; ++p)
            if (scan_character(&state, *p))
                ++count;
        if (!state.last_was_blank)
            ++count;
    }
    if (reserve_slot0)
        ++count;
    args->count = count;
    if (count > 0)
        args->items = static_cast<char**>(calloc(static_cast<size_t>(count), sizeof(char*)));
    if (!has_text)
        return;

    ScanState state;
    const char* start = skip_blanks(text);
    int32_t slot = reserve_slot0 ? 1 : 0;
    const char* p = start;
    for (; *p != '\0'; ++p) {
        if (scan_character(&state, *p)) {
            args->items[slot++] = make_token(start, static_cast<size_t>(p - start));
            start = p + 1;
        }
    }
    if (!state.last_was_blank)
        args->items[slot] = make_token(start, static_cast<size_t>(p - start));
}

void unquote_token(char* token)
{
    size_t length = strlen(token);
    char* output = static_cast<char*>(malloc(length + 1));
    size_t out = 0;
    bool escape = false;
    for (size_t i = 0; i < length; ++i) {
        char c = token[i];
        if (escape) {
            if (c != '"')
                output[out++] = '\\';
            output[out++] = c;
            escape = false;
        } else if (c == '"') {
            // unescaped quotes disappear wherever they stand
        } else if (c == '\\') {
            escape = true;
        } else {
            output[out++] = c;
        }
    }
    output[out] = '\0';
    memcpy(token, output, out + 1);
    free(output);
}

char* next_token(char* text, const char* delimiters, char** cursor)
{
    if (text == nullptr) {
        *cursor = nullptr;
        return nullptr;
    }
    char* start = text;
    if (*cursor != nullptr) {
        if (**cursor == '\0') {
            *cursor = nullptr;
            return nullptr;
        }
        start = *cursor;
    }
    start += strspn(start, delimiters);
    if (*start == '\0') {
        *cursor = nullptr;
        return nullptr;
    }
    char* end = start + strcspn(start, delimiters);
    if (*end != '\0') {
        *end = '\0';
        *cursor = end + 1;
    } else {
        *cursor = end;
    }
    return start;
}

bool append_quoted_argument(char* line, size_t size, const char* argument)
{
    size_t start = strlen(line);
    size_t at = start;
    bool fits = true;
    auto put = [&](char c) {
        if (at + 1 < size)
            line[at++] = c;
        else
            fits = false;
    };
    // A blank separates unless quoted, and an empty token counts only
    // between quotes. The quotes around the whole argument are the ones the
    // tokenizer strips as first and last character.
    bool wrap = argument[0] == '\0' || strchr(argument, ' ') != nullptr;
    put(' ');
    if (wrap)
        put('"');
    for (const char* p = argument; *p != '\0'; ++p) {
        if (*p == '"') {
            // A quote of its own only stays as backslash-quote.
            put('\\');
            put('"');
        } else if (*p == '\\' && p[1] != '\0' && p[1] != '"') {
            // The tokenizer gives every backslash back together with the
            // character after it, so the pair is copied as it stands.
            put('\\');
            put(*++p);
            // The splitter's escape outlives a blank, the unquoting's does
            // not: a bare quote here is taken literally by the one and dropped
            // by the other, which brings both into step again.
            if (*p == ' ')
                put('"');
        } else if (*p == '\\') {
            // The tokenizer never yields a lone backslash before a quote or at
            // the end; one is doubled so that it cannot open or close a
            // quoted stretch.
            put('\\');
            put('\\');
        } else {
            put(*p);
        }
    }
    if (wrap)
        put('"');
    line[fits ? at : start] = '\0';
    return fits;
}

void drop_empty_tokens(ArgVector* args)
{
    int32_t kept = 0;
    for (int32_t i = 0; i < args->count; ++i) {
        if (args->items[i] != nullptr && args->items[i][0] != '\0')
            args->items[kept++] = args->items[i];
        else
            free(args->items[i]);
    }
    args->count = kept;
    if (kept == 0) {
        free(args->items);
        args->items = nullptr;
    }
}
