// The capture rules: the 8 KiB buffer that keeps whole newest lines, the
// reader's cutting into lines and pieces, line-feed expansion and console rows.
#include <cstring>

#include "app/capture_rules.h"
#include "fuzz_input.h"

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t at;
};

// Hands out the input in reads of varying size, as a pipe does.
long read_some(void* context, char* into, size_t room)
{
    Source* source = static_cast<Source*>(context);
    if (source->at == source->size)
        return 0;
    size_t count = 1 + source->data[source->at] % 97;
    if (count > room)
        count = room;
    if (count > source->size - source->at)
        count = source->size - source->at;
    memcpy(into, source->data + source->at, count);
    source->at += count;
    return static_cast<long>(count);
}

struct Capture {
    char buffer[captured_output_size + 1];
    int length;
    size_t passed;
};

void keep(const char* bytes, size_t length, void* context)
{
    Capture* capture = static_cast<Capture*>(context);
    FUZZ_CHECK(length > 0 && length <= pipe_piece_size, "a piece of %zu bytes", length);
    FUZZ_CHECK(bytes[length - 1] == '\n' || length == pipe_piece_size, "an unfinished line passed on");
    capture->passed += length;
    append_to_capture_buffer(capture->buffer, &capture->length, bytes, length);
    FUZZ_CHECK(capture->length >= 0 && static_cast<size_t>(capture->length) < sizeof capture->buffer,
               "buffer length %d", capture->length);
    FUZZ_CHECK(capture->buffer[capture->length] == '\0', "buffer not terminated");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Source source{data, size, 0};
    static Capture capture;
    capture.length = 0;
    capture.buffer[0] = '\0';
    capture.passed = 0;
    FUZZ_CHECK(read_lines_until_end(read_some, &source, keep, &capture) == 0, "a read failed");
    FUZZ_CHECK(capture.passed <= size, "%zu bytes passed on from %zu", capture.passed, size);

    std::string text = fuzz_text(data, size);
    char expanded[256];
    memset(expanded, 'x', sizeof expanded);
    size_t written = expand_line_feeds(text.c_str(), expanded, sizeof expanded);
    FUZZ_CHECK(written < sizeof expanded && expanded[written] == '\0', "expansion not terminated in bounds");

    // Widths past 8191 leave less than one row of the chunk, which still reads one.
    int width = 1 + static_cast<int>(size * 131 % 40000);
    FUZZ_CHECK(console_chunk_rows(width) >= 1, "no rows for width %d", width);
    GrowString details{};
    append_console_row(&details, reinterpret_cast<const char*>(data), size < 300 ? size : 300);
    FUZZ_CHECK(details.length <= 300, "a row grew to %zu", details.length);
    grow_string_free(&details);
    return 0;
}
