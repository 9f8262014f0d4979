// Reads what the stand-in runtime recorded of a launcher's requests: the
// options of JNI_CreateJavaVM, the system properties set, the main calls.
#pragma once
#include <map>
#include <string>
#include <vector>

struct MainCall {
    std::string class_name;
    std::vector<std::string> args;
};

struct StandinRecord {
    std::vector<std::string> lines;         // every line, in order
    std::vector<std::string> options;       // of the (last) JNI_CreateJavaVM
    std::map<std::string, std::string> properties; // last value of each key
    std::vector<MainCall> main_calls;
    bool has(const std::string& line) const;
};

// The stand-in's path below the build, as a Windows path.
std::string standin_jvm_path();

// Reads and parses a record file; an absent file gives an empty record.
StandinRecord read_standin_record(const std::string& path);
