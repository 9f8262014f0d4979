#include "app/output_capture.h"

#include <cstdio>
#include <cstring>

#include "app/system_services.h"
#include "ui/reporting.h"

char captured_output[captured_output_size];
int captured_length = 0;

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

size_t take_captured_output(char* out)
{
    lock_capture();
    size_t length = static_cast<size_t>(captured_length);
    memcpy(out, captured_output, length);
    out[length] = '\0';
    captured_output[0] = '\0';
    captured_length = 0;
    unlock_capture();
    return length;
}
