#include "app/capture_rules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void append_to_capture_buffer(char* buffer, int* buffer_length, const char* bytes, size_t length)
{
    const size_t limit = captured_output_size - 1;
    if (length > limit) {
        // Callers pass at most 8190 bytes; a longer text keeps its end.
        bytes += length - limit;
        length = limit;
    }
    size_t current = static_cast<size_t>(*buffer_length);
    if (current + length > limit) {
        // A line feed at or after offset length - 1 drops at least as many
        // bytes as are added, and always through a line end.
        size_t from = length > 0 ? length - 1 : 0;
        const char* line_feed =
            from < current ? static_cast<const char*>(memchr(buffer + from, '\n', current - from)) : nullptr;
        if (line_feed != nullptr) {
            size_t dropped = static_cast<size_t>(line_feed - buffer) + 1;
            memmove(buffer, buffer + dropped, current - dropped);
            current -= dropped;
        } else {
            current = 0;
        }
    }
    memcpy(buffer + current, bytes, length);
    current += length;
    buffer[current] = '\0';
    *buffer_length = static_cast<int>(current);
}

void take_pipe_bytes(PipeLineBuffer* buffer, size_t count, CaptureSink sink, void* sink_context)
{
    buffer->fill += count;
    for (;;) {
        const char* line_feed = static_cast<const char*>(memchr(buffer->bytes, '\n', buffer->fill));
        if (line_feed == nullptr)
            break;
        size_t line = static_cast<size_t>(line_feed - buffer->bytes) + 1;
        sink(buffer->bytes, line, sink_context);
        memmove(buffer->bytes, buffer->bytes + line, buffer->fill - line);
        buffer->fill -= line;
    }
    if (buffer->fill == sizeof buffer->bytes) {
        sink(buffer->bytes, buffer->fill, sink_context);
        buffer->fill = 0;
    }
}

int read_lines_until_end(ByteSource source, void* source_context, CaptureSink sink, void* sink_context)
{
    PipeLineBuffer buffer;
    buffer.fill = 0;
    for (;;) {
        long count = source(source_context, buffer.bytes + buffer.fill, sizeof buffer.bytes - buffer.fill);
        if (count < 0)
            return -1;
        if (count == 0)
            return 0;
        take_pipe_bytes(&buffer, static_cast<size_t>(count), sink, sink_context);
    }
}

int format_jvm_diagnostic(char* text, const char* format, va_list args)
{
    memset(text, 0, diagnostic_size);
    int written = vsnprintf(text, diagnostic_size, format, args);
    // Cut, as the C runtime of Windows reports it.
    return written >= static_cast<int>(diagnostic_size) ? -1 : written;
}

size_t expand_line_feeds(const char* text, char* out, size_t out_size)
{
    size_t length = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        size_t needed = *p == '\n' ? 2 : 1;
        if (length + needed >= out_size)
            break;
        if (*p == '\n')
            out[length++] = '\r';
        out[length++] = *p;
    }
    out[length] = '\0';
    return length;
}

int console_chunk_rows(int width)
{
    int rows = width > 0 ? (32767 / width) / 4 : 1;
    return rows > 0 ? rows : 1;
}

void append_console_row(GrowString* details, const char* row, size_t width)
{
    while (width > 0 && row[width - 1] == ' ')
        --width;
    if (width == 0)
        return;
    // A row as one text: a zero cell inside it ends it there.
    char* text = static_cast<char*>(malloc(width + 1));
    if (text == nullptr)
        return;
    memcpy(text, row, width);
    text[width] = '\0';
    if (details->length > 0)
        grow_string_append(details, "\r\n");
    grow_string_append(details, text);
    free(text);
}
