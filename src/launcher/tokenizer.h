// The launcher's own command-line rules (not those of the C runtime): only the
// blank separates, a double quote opens and closes a quoted stretch, and a
// backslash escapes the next character. Stored configurations rely on every
// detail of these rules, odd ones included.
#pragma once
#include "launcher/text_buffers.h"

// Splits text (none or empty gives no tokens) into args. With reserve_slot0,
// slot 0 is counted but left empty and tokens start at slot 1. Never fails.
void tokenize_command_line(const char* text, ArgVector* args, bool reserve_slot0);

// Rewrites token in place: backslash-quote becomes a quote, any other
// backslash stays with the character after it, unescaped quotes vanish and a
// trailing backslash is dropped. The result is never longer than the input.
void unquote_token(char* token);

// Walks a list separated by any of delimiters, cutting text in place. cursor
// is held by the caller and starts as null; returns null when nothing is left.
// Runs of delimiters never yield empty tokens.
char* next_token(char* text, const char* delimiters, char** cursor);

// Appends a blank and argument to the text in line (size bytes), written so
// that tokenize_command_line gives argument back exactly, for every text the
// tokenizer itself produces. False, with line unchanged, when it would not
// fit.
bool append_quoted_argument(char* line, size_t size, const char* argument);

// Removes the empty tokens of args (freeing them), keeping the order of the
// others.
void drop_empty_tokens(ArgVector* args);
