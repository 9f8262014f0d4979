// How the searches of today's registry layouts and of a modern JAVA_HOME
// read a runtime's version and pick among runtimes: pure rules, no Win32.
#pragma once
#include <cstddef>
#include <cstdint>

// The packed value of a runtime's version text in any form a runtime is
// registered or described with: "17.0.2.8" (registry), "17.0.2+8" (the
// release file), "1.8.0_392" (legacy), "17", or a vendor's "zulu-17" and
// "jdk-21". A prefix before the first digit is not part of the version.
int32_t runtime_version_value(const char* text);

// Whether a runtime of that version text meets every ';'-separated
// constraint (none or an empty list accepts every version).
bool runtime_version_accepted(const char* text, const char* constraints);

// The value of JAVA_VERSION in the text of a runtime's "release" file
// (JAVA_VERSION="17.0.2"), quotes removed, into version (size bytes). False
// when the file names none or it does not fit.
bool release_file_version(const char* release_text, char* version, size_t size);

// The libraries tried below a runtime's home, in this order: a runtime of
// Java 9 or later has bin\server only; Java 8 has a jre folder in a JDK, and
// a client VM on 32 bits.
constexpr const char* runtime_library_subpaths[] = {
    "bin\\server\\jvm.dll",
    "bin\\client\\jvm.dll",
    "jre\\bin\\server\\jvm.dll",
    "jre\\bin\\client\\jvm.dll",
};
constexpr int runtime_library_subpath_count = 4;

// Joins home with each of runtime_library_subpaths in order and puts the
// first path that usable() accepts into result (size bytes). False when none
// is, or none fits.
bool probe_runtime_library(const char* home, char* result, size_t size,
                           bool (*usable)(const char* path, void* context), void* context);

// Whether a runtime of version text, met one after the other with others,
// takes the place of the one chosen so far (none when have_chosen is false,
// else of packed version chosen_version): it must meet the constraints and
// be newer, so that the first of equal versions stays.
bool runtime_outranks(const char* version, const char* constraints, bool have_chosen, int32_t chosen_version);
