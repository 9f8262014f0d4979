// Finding the JVM library of a Java runtime: the explicit list, the registry
// keys of installed runtimes with their version constraints, and JAVA_HOME.
#pragma once
#include <windows.h>

#include <cstddef>

#include "launcher/configuration.h"

constexpr size_t registry_text_size = 256; // key paths, version names, "CurrentVersion"
constexpr int runtime_key_count = 6;

// The keys below HKEY_LOCAL_MACHINE under which runtimes and development kits
// of three vendors register: one subkey per version, "CurrentVersion" beside.
extern const char* const runtime_key_table[runtime_key_count];

// The library the current search step prefers below a runtime's "JavaHome"
// (one of the four "jre\bin\...\jvm.dll" paths), or null for a search of the
// whole tree. Written by the search steps only.
extern const char* preferred_jvm_subpath;

// After discovery the home of the library found: "JavaHome" of the
// registered runtime that yielded it, or the directory JAVA_HOME names; empty
// when that is unknown (a library of the explicit list) or nothing was
// found. During the registry search, "JavaHome" of the last candidate that
// passed the version check. Read by the %JAVA_HOME% expansion.
extern char found_java_home[path_size];

// Runs the configured search steps; on success result (path_size bytes)
// holds the path of an existing JVM library. On failure the configured
// failure actions (message 4, document, command) have been carried out.
bool locate_jvm_library(char* result);

// Tries the rows first .. first + count - 1 of runtime_key_table in order.
// Reports nothing.
bool search_registered_runtimes(char* result, size_t result_size, int first, int count);

// key_path (registry_text_size bytes) holds a row's key path and is extended
// in place by "\" and version_name. True when the version meets every
// configured constraint and an existing library was put into result.
bool check_runtime_candidate(char* key_path, const char* version_name, char* result,
                             size_t result_size);

// Depth-first search below directory for a file named jvm.dll in any case;
// result (path_size bytes) gets the directory joined with "jvm.dll".
bool find_jvm_library_below(const char* directory, char* result);

// 0 when a REG_SZ or REG_EXPAND_SZ value was read into buffer (terminated),
// -1 when the key cannot be opened, 1 when the value is missing, of another
// type or too long for size bytes (buffer then empty).
int read_registry_string(HKEY root, const char* subkey, const char* value_name, char* buffer,
                         DWORD size);
