#include "jvm/class_path.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "launcher/configuration.h"
#include "launcher/path_checks.h"
#include "launcher/tokenizer.h"
#include "ui/reporting.h"

// The last four characters are ".jar" or ".zip", in any case.
static bool is_archive_name(const char* name)
{
    size_t length = strlen(name);
    if (length < 4)
        return false;
    char suffix[5];
    for (size_t i = 0; i < 4; ++i) {
        char c = name[length - 4 + i];
        suffix[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    suffix[4] = '\0';
    return strcmp(suffix, ".jar") == 0 || strcmp(suffix, ".zip") == 0;
}

// A heap text: first, "\" and second. The directory is written as the
// configuration wrote it, so a trailing separator gives a doubled one.
static char* concatenate_path(const char* first, const char* second)
{
    size_t first_length = strlen(first);
    size_t second_length = strlen(second);
    char* path = static_cast<char*>(malloc(first_length + second_length + 2));
    memcpy(path, first, first_length);
    path[first_length] = '\\';
    memcpy(path + first_length + 1, second, second_length + 1);
    return path;
}

// A heap text: the pattern that lists everything in directory.
static char* listing_pattern(const char* directory)
{
    if (strcmp(directory, ".") == 0)
        return copy_text("*.*");
    size_t length = strlen(directory);
    char* pattern = static_cast<char*>(malloc(length + 5));
    memcpy(pattern, directory, length);
    if (length > 0 && (pattern[length - 1] == '\\' || pattern[length - 1] == '/'))
        --length;
    memcpy(pattern + length, "\\*.*", 5);
    return pattern;
}

// How the listing of one directory ended.
enum ListingOutcome { listing_complete, listing_not_opened, listing_broken };

static ListingOutcome append_listed_archives(GrowString* class_path, const char* directory);

// One entry of a listing: descends into a subdirectory, appends an archive.
static void add_listed_entry(GrowString* class_path, const char* directory,
                             const WIN32_FIND_DATAA* entry)
{
    const char* name = entry->cFileName;
    if ((entry->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // A junction or symbolic link is not followed: it may lead back up
        // the tree, and the ones a profile holds ("My Music" in Documents)
        // deny listing anyway.
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 ||
            (entry->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return;
        // A subdirectory that cannot be listed (access denied, a path too
        // long) adds nothing, and the scan goes on: one unreadable folder
        // below the class path must not stop the application.
        size_t length = class_path->length;
        char* subdirectory = concatenate_path(directory, name);
        if (append_listed_archives(class_path, subdirectory) != listing_complete && class_path->text != nullptr) {
            class_path->length = length;
            class_path->text[length] = '\0';
        }
        free(subdirectory);
        return;
    }
    if (is_archive_name(name)) {
        grow_string_append(class_path, directory);
        grow_string_append(class_path, "\\");
        grow_string_append(class_path, name);
        grow_string_append(class_path, ";");
    }
}

// Appends the archives of directory and below. The last error tells why a
// listing did not complete.
static ListingOutcome append_listed_archives(GrowString* class_path, const char* directory)
{
    char* pattern = listing_pattern(directory);
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    DWORD error = GetLastError();
    free(pattern);
    if (listing == INVALID_HANDLE_VALUE) {
        SetLastError(error);
        // Only a directory with nothing in it (a drive root has no "." either)
        // gives these.
        bool empty = error == ERROR_NO_MORE_FILES || error == ERROR_FILE_NOT_FOUND;
        return empty ? listing_complete : listing_not_opened;
    }
    do
        add_listed_entry(class_path, directory, &entry);
    while (FindNextFileA(listing, &entry));
    error = GetLastError();
    FindClose(listing);
    SetLastError(error);
    return error == ERROR_NO_MORE_FILES ? listing_complete : listing_broken;
}

bool add_directory_archives(GrowString* class_path, const char* directory)
{
    // A configured directory that cannot be listed is reported: the class
    // path would lack what the configuration names.
    ListingOutcome outcome = append_listed_archives(class_path, directory);
    if (outcome == listing_not_opened)
        report_error_with_reason("Internal error RC000001");
    else if (outcome == listing_broken)
        report_error_with_reason("Internal error RC000002");
    return outcome == listing_complete;
}

bool build_class_path(GrowString* class_path)
{
    // next_token cuts its text, and the configured value stays as it is.
    char* entries = copy_text(launcher_config.class_path);
    char* cursor = nullptr;
    bool built = true;
    for (char* entry = next_token(entries, ";", &cursor); entry != nullptr;
         entry = next_token(entries, ";", &cursor)) {
        grow_string_append(class_path, entry);
        grow_string_append(class_path, ";");
        // An entry with a reference is never scanned: it is expanded only
        // later, together with the whole option text.
        if (path_is_directory(entry) == 1 && !add_directory_archives(class_path, entry)) {
            built = false;
            break;
        }
    }
    free(entries);
    if (!built)
        return false;
    if (class_path->length > 0 && class_path->text[class_path->length - 1] == ';')
        class_path->text[--class_path->length] = '\0';
    return true;
}

void make_entries_absolute(GrowString* class_path, const char* directory)
{
    GrowString absolute{};
    char* entries = copy_text(class_path->text != nullptr ? class_path->text : "");
    char* cursor = nullptr;
    for (char* entry = next_token(entries, ";", &cursor); entry != nullptr;
         entry = next_token(entries, ";", &cursor)) {
        bool relative = entry[0] != '\\' && entry[0] != '/' && (entry[0] == '\0' || entry[1] != ':') &&
                        strchr(entry, '%') == nullptr;
        if (absolute.length > 0)
            grow_string_append(&absolute, ";");
        if (relative) {
            grow_string_append(&absolute, directory);
            grow_string_append(&absolute, "\\");
        }
        grow_string_append(&absolute, entry);
    }
    free(entries);
    grow_string_free(class_path);
    *class_path = absolute;
}
