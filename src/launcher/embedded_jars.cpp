#include "launcher/embedded_jars.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/system_services.h"
#include "launcher/configuration.h"
#include "launcher/extract_directory.h"
#include "launcher/jar_blob.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

int32_t embedded_jar_count = 0;

namespace {

constexpr size_t jar_path_size = 4096;

// Read handles on the jars this launcher listed, kept until the process
// ends: other readers (the JVM) may open them, no cleanup may delete them.
HANDLE* held_jars = nullptr;
int32_t held_jar_count = 0;

// The resource's bytes and size, or null when the executable carries no
// jars (a missing resource or one of at most 1 byte).
const void* find_jar_resource(size_t* size)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (found == nullptr)
        return nullptr;
    *size = SizeofResource(module, found);
    if (*size <= 1)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    return loaded != nullptr ? LockResource(loaded) : nullptr;
}

// Checks the whole resource before anything is written, reporting a fault
// once. True with *count for a resource that may be extracted or removed.
bool check_jar_resource(const void* bytes, size_t size, int32_t* count, bool report)
{
    JarEntry bad{};
    JarBlobStatus status = jar_blob_check(bytes, size, count, &bad);
    if (status == jar_blob_ok || !report)
        return status == jar_blob_ok;
    if (status == jar_blob_bad_name) {
        SetLastError(ERROR_INVALID_NAME);
        report_error_with_reason(message_text(message_file_write), bad.name);
    } else {
        report_error("Internal error RC0000120");
    }
    return false;
}

bool compose_jar_path(char* path, const char* name)
{
    return snprintf(path, jar_path_size, "%s\\%s", extract_dir, name) < static_cast<int>(jar_path_size);
}

void hold_jar(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE)
        held_jars[held_jar_count++] = file;
}

// True when the file at path has the entry's size and last-write time.
bool jar_is_current(const char* path, const JarEntry& entry)
{
    // Read sharing, so that a file another instance holds is still seen.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool current = false;
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
        report_error_with_reason("Internal error RC000006");
    } else if (size == entry.size) {
        FILETIME written;
        FILETIME wanted{entry.time_low, entry.time_high};
        current = GetFileTime(file, nullptr, nullptr, &written) && CompareFileTime(&wanted, &written) == 0;
    }
    CloseHandle(file);
    return current;
}

// Writes one entry. 1 written, 0 skipped (the file exists but cannot be
// replaced), -1 after a reported failure.
int write_jar(const char* path, const JarEntry& entry)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            return 0;
        report_error_with_reason(message_text(message_file_write), path);
        return -1;
    }
    DWORD written = 0;
    FILETIME time{entry.time_low, entry.time_high};
    bool ok = WriteFile(file, entry.data, entry.size, &written, nullptr) && written == entry.size &&
              SetFileTime(file, nullptr, nullptr, &time);
    if (!ok) {
        DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        report_error_with_reason(message_text(message_file_write), path);
        return -1;
    }
    CloseHandle(file);
    return 1;
}

} // namespace

void extract_embedded_jars()
{
    size_t size = 0;
    const void* bytes = find_jar_resource(&size);
    int32_t count = 0;
    if (bytes == nullptr || !check_jar_resource(bytes, size, &count, true))
        return;
    embedded_jar_count = count;
    // An extraction directory that could not be composed is empty: joined
    // to it, names would land in the root of the drive.
    if (count == 0 || extract_dir[0] == '\0' || !prepare_extract_directory())
        return;
    held_jars = static_cast<HANDLE*>(calloc(static_cast<size_t>(count), sizeof(HANDLE)));
    GrowString list{};
    JarBlobWalk walk;
    jar_blob_begin(&walk, bytes, size);
    JarEntry entry;
    char path[jar_path_size];
    while (jar_blob_next(&walk, &entry) == 1) {
        if (!compose_jar_path(path, entry.name)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            report_error_with_reason(message_text(message_file_write), entry.name);
            grow_string_free(&list);
            return;
        }
        grow_string_append(&list, path);
        grow_string_append(&list, ";");
        if (!jar_is_current(path, entry) && write_jar(path, entry) < 0) {
            grow_string_free(&list);
            return;
        }
        hold_jar(path);
    }
    char* class_path = extended_class_path(launcher_config.class_path, list.text, list.length);
    if (class_path != nullptr)
        launcher_config.class_path = class_path;
    grow_string_free(&list);
}

void remove_extracted_jars(const char* process_id_text)
{
    DWORD process_id = static_cast<DWORD>(atoi(process_id_text));
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    if (process != nullptr) {
        WaitForSingleObject(process, 30000);
        CloseHandle(process);
    }
    size_t size = 0;
    const void* bytes = find_jar_resource(&size);
    int32_t count = 0;
    // Only names that passed the extraction's own checks are deleted, and
    // only inside a directory no one else could have prepared.
    if (bytes == nullptr || !check_jar_resource(bytes, size, &count, false))
        return;
    embedded_jar_count = count;
    if (extract_dir[0] == '\0' || !extract_directory_is_trusted())
        return;
    JarBlobWalk walk;
    jar_blob_begin(&walk, bytes, size);
    JarEntry entry;
    char path[jar_path_size];
    while (jar_blob_next(&walk, &entry) == 1)
        if (compose_jar_path(path, entry.name))
            DeleteFileA(path);
    release_extract_directory();
    RemoveDirectoryA(extract_dir);
}

void start_jar_cleanup()
{
    char path[MAX_PATH];
    if (!executable_path(path, sizeof path))
        return;
    char command[MAX_PATH + 64];
    format_text(command, sizeof command, "\"%s\" -ovremovetemporaryjarfiles %lu", path,
                static_cast<unsigned long>(GetCurrentProcessId()));
    // The child starts in the executable's directory, where the relative
    // extraction directories lie whatever this process made current since.
    char* last_backslash = strrchr(path, '\\');
    if (last_backslash != nullptr)
        last_backslash[last_backslash > path && last_backslash[-1] == ':' ? 1 : 0] = '\0';
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No handle is inherited: the child must not keep this process's files,
    // pipes or mutex alive. Its handles stay open until this process ends,
    // moments later.
    CreateProcessA(nullptr, command, nullptr, nullptr, FALSE,
                   CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE | DETACHED_PROCESS, nullptr,
                   last_backslash != nullptr ? path : nullptr, &startup, &process);
}
