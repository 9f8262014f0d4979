// One table check for functions of one argument: each row's input through the
// function under test, compared with the row's result and named when they differ.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

template <typename Input, typename Expected, typename Function>
void expect_rows(const std::vector<std::pair<Input, Expected>>& rows, Function function)
{
    for (const auto& [input, expected] : rows)
        EXPECT_EQ(function(input), expected) << "input: " << ::testing::PrintToString(input);
}

// A text the code under test allocated, as a string, freed; none shows as "<null>".
inline std::string heap_text(char* text)
{
    std::string kept = text == nullptr ? "<null>" : text;
    free(text);
    return kept;
}
