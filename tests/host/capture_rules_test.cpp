// The capture rules: whole newest lines in the 8 KiB buffer, the reader's
// lines and 1024-byte pieces from a fake byte source, the JVM diagnostics'
// formatting, and console rows made details.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "app/capture_rules.h"
#include "expect_rows.h"

namespace {

std::string capture_after(const std::string& initial, const std::string& added)
{
    char buffer[captured_output_size];
    int length = 0;
    append_to_capture_buffer(buffer, &length, initial.data(), initial.size());
    append_to_capture_buffer(buffer, &length, added.data(), added.size());
    EXPECT_EQ(buffer[length], '\0');
    return std::string(buffer, static_cast<size_t>(length));
}

TEST(CaptureBuffer, KeepsWholeNewestLinesThroughTheFirstLineFeedAtOrAfterNMinusOne)
{
    const std::string x(4000, 'x'), y(4000, 'y'), b(8000, 'b');
    const std::string new300 = std::string(299, 'z') + "\n", new100 = std::string(99, 'n') + "\n";
    using InitialAndAdded = std::pair<std::string, std::string>;
    expect_rows<InitialAndAdded, std::string>({
        {{"a\n", "b\n"}, "a\nb\n"},
        {{x + "\n" + y + "\n", new300}, y + "\n" + new300},  // drops through a line end
        {{std::string(99, 'c') + "\n" + std::string(8050, 'd') + "\n", new100},
         std::string(8050, 'd') + "\n" + new100},  // a line feed exactly at n - 1
        {{"a\n" + b, std::string(199, 'q') + "\n"}, std::string(199, 'q') + "\n"},  // only one before n - 1: clears
    }, [](const InitialAndAdded& row) { return capture_after(row.first, row.second); });
}

// A source that hands out its chunks in order, then ends (or fails).
struct FakeSource {
    std::vector<std::string> chunks;
    bool fails_at_end;
    size_t next;
};

long read_fake(void* context, char* into, size_t room)
{
    FakeSource* source = static_cast<FakeSource*>(context);
    if (source->next == source->chunks.size())
        return source->fails_at_end ? -1 : 0;
    std::string& chunk = source->chunks[source->next];
    size_t count = chunk.size() < room ? chunk.size() : room;
    memcpy(into, chunk.data(), count);
    chunk.erase(0, count);
    if (chunk.empty())
        ++source->next;
    return static_cast<long>(count);
}

void collect(const char* bytes, size_t length, void* context)
{
    static_cast<std::vector<std::string>*>(context)->emplace_back(bytes, length);
}

TEST(PipeReader, PassesLinesInOrderAndFullPiecesAndDropsAnUnfinishedLastLine)
{
    const std::string long_text(2500, 'p');
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        bool fails;
        int result;
        std::vector<std::string> passed;
    } rows[] = {
        {"several lines in one read", {"a\nbb\nccc", "c\n"}, false, 0, {"a\n", "bb\n", "cccc\n"}},
        {"1024-byte pieces without a line feed", {long_text}, false, 0,
         {std::string(1024, 'p'), std::string(1024, 'p')}},
        {"a line feed ends the piece early", {std::string(1000, 'e') + "\n" + std::string(1100, 'f')}, false, 0,
         {std::string(1000, 'e') + "\n", std::string(1024, 'f')}},
        {"failure keeps what was passed", {"x\ny"}, true, -1, {"x\n"}},
    };
    for (const auto& row : rows) {
        FakeSource source{row.chunks, row.fails, 0};
        std::vector<std::string> passed;
        EXPECT_EQ(read_lines_until_end(read_fake, &source, collect, &passed), row.result) << row.name;
        EXPECT_EQ(passed, row.passed) << row.name;
    }
}

int diagnostic(std::string* text, const char* format, ...)
{
    char buffer[diagnostic_size];
    va_list args;
    va_start(args, format);
    int result = format_jvm_diagnostic(buffer, format, args);
    va_end(args);
    char lines[2 * diagnostic_size];
    *text = std::string(lines, expand_line_feeds(buffer, lines, sizeof lines));
    return result;
}

TEST(JvmDiagnostic, LineFeedsBecomeCrLfAndTextIsCutAt4095)
{
    std::string text;
    EXPECT_EQ(diagnostic(&text, "%s\n%s 100%%\n", "Error occurred", "heap"), 25);
    EXPECT_EQ(text, "Error occurred\r\nheap 100%\r\n");
    EXPECT_EQ(diagnostic(&text, "%s", std::string(5000, 'w').c_str()), -1);
    EXPECT_EQ(text, std::string(4095, 'w'));
    EXPECT_EQ(diagnostic(&text, "%s", std::string(4095, '\n').c_str()), 4095);
    EXPECT_EQ(text.size(), 8190u);
}

TEST(ConsoleRows, ChunksOf32767BytesAndRowsWithoutTrailingBlanks)
{
    EXPECT_EQ(console_chunk_rows(80), 102);
    EXPECT_EQ(console_chunk_rows(300), 27);
    EXPECT_EQ(console_chunk_rows(40000), 1);
    GrowString details{};
    for (const char* row : {"     ", "ab  c", "     ", "d    ", "     "})
        append_console_row(&details, row, 5);
    EXPECT_EQ(std::string(details.text), "ab  c\r\nd");
    const std::string wide = std::string(400, 'w') + std::string(100, ' ');
    append_console_row(&details, wide.data(), wide.size());
    EXPECT_EQ(std::string(details.text), "ab  c\r\nd\r\n" + std::string(400, 'w'));
    grow_string_free(&details);
}

} // namespace
