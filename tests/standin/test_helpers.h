// Files, records and child processes for the stand-in's tests.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A path in the temporary directory, unique to this process and the name;
// an old file of that path is deleted first.
std::string temporary_file(const std::string& name);
// The bytes of a file; empty when it cannot be read.
std::string file_text(const std::string& path);

// Points ORVANE_STANDIN_RECORD (of this process and its children) at a
// fresh file and returns its path.
std::string start_record(const std::string& name);
// The lines of a record file, without their line feeds.
std::vector<std::string> record_lines(const std::string& path);
// The record lines from the first one equal to first on; empty when there is none.
std::vector<std::string> record_from(const std::string& path, const std::string& first);

struct ChildOutcome {
    bool finished;      // false when it had to be killed after 30 s
    DWORD exit_code;
    std::string out;    // its standard output
    std::string err;    // its standard error
};
// Runs a command line and waits for it, its standard streams in files.
ChildOutcome run_program(const std::string& command_line);
// The command line of the tests' child program with these arguments.
std::string child_command(const std::string& arguments);

// A JVM can be created once per process. ctest runs each case in a process
// of its own; when this process has tried to create one already (the whole
// program runs at once), the current case is run again in a new process of
// this program, its outcome is asserted here, and the result is true: the
// caller then returns.
bool rerun_in_own_process();

// This process's standard error goes into a file while the object lives.
class StderrToFile {
public:
    explicit StderrToFile(const std::string& path);
    ~StderrToFile();
private:
    HANDLE previous_;
    HANDLE file_;
};
