#include "standin_record.h"
#include "wine_paths.h"

#include <algorithm>
#include <fstream>

std::string standin_jvm_path()
{
    return wine_path(ORVANE_STANDIN_JVM_PATH);
}

bool StandinRecord::has(const std::string& line) const
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

StandinRecord read_standin_record(const std::string& path)
{
    StandinRecord record;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        record.lines.push_back(line);
        size_t blank = line.find(' ');
        std::string word = line.substr(0, blank);
        std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        // "option N text" and "arg N text": the text after the number.
        size_t number_end = rest.find(' ');
        std::string text = number_end == std::string::npos ? std::string() : rest.substr(number_end + 1);
        size_t equals = rest.find('=');
        if (word == "create")
            record.options.clear();
        else if (word == "option")
            record.options.push_back(text);
        else if (word == "property" && equals != std::string::npos)
            record.properties[rest.substr(0, equals)] = rest.substr(equals + 1);
        else if (word == "main")
            record.main_calls.push_back(MainCall{rest.substr(0, rest.rfind(' ')), {}});
        else if (word == "arg" && !record.main_calls.empty())
            record.main_calls.back().args.push_back(text);
    }
    return record;
}
