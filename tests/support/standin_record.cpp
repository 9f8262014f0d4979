#include "standin_record.h"
#include "wine_paths.h"

#include <cstdio>
#include <cstdlib>

std::string standin_jvm_path()
{
    return wine_path(ORVANE_STANDIN_JVM_PATH);
}

bool StandinRecord::has(const std::string& line) const
{
    for (const std::string& l : lines)
        if (l == line)
            return true;
    return false;
}

bool StandinRecord::has_prefix(const std::string& prefix) const
{
    for (const std::string& l : lines)
        if (l.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
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
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return record;
    std::string content;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, n);
    fclose(file);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        record.lines.push_back(line);
        start = end + 1;
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
