// Jars carried in the executable's RT_RCDATA resource 1: extraction before the
// start and the cleanup run mode that removes them afterwards.
#pragma once
#include <cstdint>

// Entry count of the resource once it has been read; 0 without one.
extern int32_t embedded_jar_count;

// Extracts the embedded jars into extract_dir and appends them to the class
// path. Without the resource nothing happens. Reports its own failures.
void extract_embedded_jars();

// The cleanup run mode: waits for the process process_id_text to end, then
// removes what it extracted.
void remove_extracted_jars(const char* process_id_text);

// Starts a copy of the launcher in cleanup mode with this process's id; it
// removes the extracted jars once this process has ended.
void start_jar_cleanup();
