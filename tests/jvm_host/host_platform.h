// The Linux side of the launcher's platform declarations, for the tests that
// drive HotSpot: what the launcher reports is recorded here for the tests to
// read.
#pragma once
#include <string>
#include <vector>

// Every report made since the last clear_layer_records, in order, as
// "KIND: TEXT", where KIND is error, error_with_reason or fatal_with_output;
// a fatal report ends with " | details: " and the captured output.
std::vector<std::string> recorded_reports();
void clear_layer_records();
// When not -1, reports ("report " and their record) and the launcher's
// platform calls ("event: close_instance_mutex") are written to this file
// descriptor at once, one line each (line breaks become blanks), for a
// process that reads them.
extern int record_fd;
// When set, every report is also written to standard error at once, after
// the marker.
extern const char* report_marker;

// When set, a capture of the standard streams goes through a FIFO and its
// reader thread, as through the launcher's pipe; otherwise it is switched off.
extern bool host_capture_pipe;

// When set, the JVM's exit hook ends the process with status 97 instead,
// so that an unexpected System.exit cannot pass for a clean end.
extern bool exit_hook_is_unexpected;

// The special-folder lookup answers /tmp/orvane-jvm-host/ and AppData/Roaming,
// AppData/Local or Documents; a folder in unavailable_folders cannot be
// obtained.
extern std::vector<int> unavailable_folders;

// Empties the configuration (the texts the JVM-driving code reads are ""),
// puts the classes of the tests as class path and the given options, and the
// hooks' state to none.
void reset_launcher_config(const char* jvm_options, const char* main_class);

// Loads libjvm, fills jvm_instance as creation does after loading, and runs
// the launcher's create_java_vm, whose class-path option in Windows syntax
// ("dir\a.jar;b.jar") reaches the JVM in the host's ("dir/a.jar:b.jar").
// Empty on success, else what went wrong.
std::string create_host_jvm();
