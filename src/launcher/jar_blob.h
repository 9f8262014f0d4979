// The byte layout of the embedded-jar resource (RT_RCDATA 1), walked with
// bounds: a count, then entries of name and zero byte, FILETIME, size and
// data, little-endian and unpadded. No Win32 here.
#pragma once
#include <cstddef>
#include <cstdint>

// Bytes every entry needs at least: a one-byte name and its zero, the
// time stamp and the size.
constexpr size_t jar_entry_minimum = 2 + 8 + 4;

struct JarEntry {
    const char* name;        // zero-terminated inside the resource
    size_t name_length;
    uint32_t time_low;       // FILETIME, low then high 32 bits
    uint32_t time_high;
    const unsigned char* data;
    uint32_t size;
};

enum JarBlobStatus {
    jar_blob_ok,         // every entry lies inside the resource and has a plain name
    jar_blob_malformed,  // count or an entry runs past the data (or the count is negative)
    jar_blob_bad_name,   // an entry's name could leave the extraction directory
};

// A walk over the entries in resource order.
struct JarBlobWalk {
    const unsigned char* bytes;
    size_t size;
    size_t offset;  // of the next entry
    int32_t count;
    int32_t index;  // of the next entry
};

// Starts a walk; false when bytes cannot hold the count, the count is
// negative, or more entries are claimed than size bytes could hold.
bool jar_blob_begin(JarBlobWalk* walk, const void* bytes, size_t size);

// The next entry, checked against the end of the data. 1 with *entry
// filled, 0 after the last entry, -1 when the entry runs past the data.
int jar_blob_next(JarBlobWalk* walk, JarEntry* entry);

// True for a plain file name that stays inside the directory it is joined
// to: not empty, no "\", "/" or ":" (drive letters, streams), not made of
// dots and blanks only ("." and ".."), not ending in a dot or blank, which
// Windows strips from a name, and not a device name such as CON or NUL.
bool jar_name_is_plain(const char* name, size_t length);

// Walks the whole resource once. jar_blob_ok with *count set; otherwise the
// first fault, with *bad_entry pointing at the refused entry for
// jar_blob_bad_name (its name is zero-terminated).
JarBlobStatus jar_blob_check(const void* bytes, size_t size, int32_t* count, JarEntry* bad_entry);

// The class path after an extraction: class_path, one ";" unless it is empty
// or already ends with one, then the list of extracted paths without its
// last ";". A new heap text, or null when the list is empty (nothing is
// appended).
char* extended_class_path(const char* class_path, const char* list, size_t list_length);
