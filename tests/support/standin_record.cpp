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

bool StandinRecord::has_prefix(const std::string& prefix) const
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.compare(0, prefix.size(), prefix) == 0; });
}

static bool starts_with(const std::string& text, const char* prefix, std::string* rest)
{
    std::string p(prefix);
    if (text.compare(0, p.size(), p) != 0)
        return false;
    *rest = text.substr(p.size());
    return true;
}

StandinRecord read_standin_record(const std::string& path)
{
    StandinRecord record;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        record.lines.push_back(line);
    }
    for (const std::string& line : record.lines) {
        std::string rest;
        if (starts_with(line, "create ", &rest)) {
            record.options.clear();
        } else if (starts_with(line, "option ", &rest)) {
            size_t blank = rest.find(' ');
            record.options.push_back(blank == std::string::npos ? std::string() : rest.substr(blank + 1));
        } else if (starts_with(line, "property ", &rest)) {
            size_t equals = rest.find('=');
            if (equals != std::string::npos)
                record.properties[rest.substr(0, equals)] = rest.substr(equals + 1);
        } else if (starts_with(line, "main ", &rest)) {
            size_t blank = rest.rfind(' ');
            record.main_calls.push_back(MainCall{rest.substr(0, blank), {}});
        } else if (starts_with(line, "arg ", &rest) && !record.main_calls.empty()) {
            size_t blank = rest.find(' ');
            record.main_calls.back().args.push_back(blank == std::string::npos ? std::string()
                                                                                  : rest.substr(blank + 1));
        }
    }
    return record;
}
