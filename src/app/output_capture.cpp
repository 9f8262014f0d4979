#include "app/output_capture.h"

#include <cstdio>
#include <cstring>

#include "app/system_services.h"
#include "ui/reporting.h"

char captured_output[captured_output_size];
int captured_length = 0;

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

bool capture_append(const char* bytes, size_t length)
{
    lock_capture();
    append_to_capture_buffer(captured_output, &captured_length, bytes, length);
    if (service_mode) {
        // The new text is the tail of the buffer, even when old lines went.
        int added = captured_length < static_cast<int>(length) ? captured_length : static_cast<int>(length);
        fwrite(captured_output + captured_length - added, 1, static_cast<size_t>(added), stderr);
        fflush(stderr);
    }
    unlock_capture();
    return true;
}
