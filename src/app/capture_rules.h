// The rules of the output capture, free of Win32: how the 8 KiB buffer keeps
// whole newest lines, how the pipe reader cuts what it reads into lines and
// pieces, how a JVM diagnostic is formatted, and how console rows become
// details text.
#pragma once
#include <cstdarg>
#include <cstddef>

#include "launcher/text_buffers.h"

constexpr size_t captured_output_size = 8192;
constexpr size_t pipe_piece_size = 1024;
constexpr size_t diagnostic_size = 4096;

// The buffer rule: when the new bytes would not fit, whole old lines are
// dropped (through a line feed at or after offset length - 1), or all of
// them when there is no such line feed.
void append_to_capture_buffer(char* buffer, int* buffer_length, const char* bytes, size_t length);

// Receives each complete line (its line feed included) or full piece.
using CaptureSink = void (*)(const char* bytes, size_t length, void* context);

// What the pipe reader has read and not yet passed on: at most one piece.
struct PipeLineBuffer {
    char bytes[pipe_piece_size];
    size_t fill;
};

// After count new bytes were read into bytes + fill: passes every complete
// line in order, and the whole buffer when it is full without a line feed.
// An unfinished line stays for the next read.
void take_pipe_bytes(PipeLineBuffer* buffer, size_t count, CaptureSink sink, void* sink_context);

// Reads into the free part of the buffer: the number of bytes read, 0 when
// the source has ended, -1 when a read failed.
using ByteSource = long (*)(void* source_context, char* into, size_t room);

// Reads the source until it ends, passing lines and pieces on. Bytes of an
// unfinished last line are dropped. Returns 0 at the end, -1 after a failed
// read.
int read_lines_until_end(ByteSource source, void* source_context, CaptureSink sink, void* sink_context);

// Formats a JVM diagnostic into text (diagnostic_size bytes, always
// terminated, at most 4095 characters). Returns the character count, or -1
// when the text was cut.
int format_jvm_diagnostic(char* text, const char* format, va_list args);

// Copies text into out (out_size bytes, terminated) with every line feed
// written as carriage return and line feed. Returns the bytes written.
size_t expand_line_feeds(const char* text, char* out, size_t out_size);

// Rows of a console read: (32767 / width) / 4, so one read stays within
// 32767 bytes of 4-byte cells; at least 1.
int console_chunk_rows(int width);

// Appends one console row of width characters to details: trailing blanks
// dropped, a blank row skipped, "\r\n" before it when a row came before.
void append_console_row(GrowString* details, const char* row, size_t width);
