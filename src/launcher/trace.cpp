#include "launcher/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

// The trace file, or null when tracing is off. Written once by trace_open.
static FILE* trace_file = nullptr;
// When the last phase ended, in milliseconds since the process started.
static long last_phase_end = 0;

// The C runtime of Windows counts clock() from the start of the process, in
// wall-clock milliseconds.
static long elapsed_ms()
{
    return static_cast<long>(clock() * 1000 / CLOCKS_PER_SEC);
}

void trace_open()
{
    if (trace_file != nullptr)
        return;
    const char* path = getenv("ORVANE_TRACE");
    if (path != nullptr && path[0] != '\0')
        trace_file = fopen(path, "a");
}

void trace_close()
{
    if (trace_file != nullptr)
        fclose(trace_file);
    trace_file = nullptr;
}

bool trace_enabled()
{
    return trace_file != nullptr;
}

void trace_line(const char* format, ...)
{
    if (trace_file == nullptr)
        return;
    fprintf(trace_file, "[%6ld ms] ", elapsed_ms());
    va_list args;
    va_start(args, format);
    vfprintf(trace_file, format, args);
    va_end(args);
    fputc('\n', trace_file);
    fflush(trace_file);
}

void trace_phase_end(const char* phase)
{
    if (trace_file == nullptr)
        return;
    long now = elapsed_ms();
    trace_line("phase %s took %ld ms", phase, now - last_phase_end);
    last_phase_end = now;
}
