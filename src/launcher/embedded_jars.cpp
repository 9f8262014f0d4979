#include "launcher/embedded_jars.h"

#include <windows.h>

#include <cstdlib>

#include "app/system_services.h"
#include "launcher/text_buffers.h"
#include "ui/reporting.h"

int32_t embedded_jar_count = 0;

// The resource's bytes, or null when the executable carries no jars (a
// missing resource or one of at most 1 byte).
static const void* find_jar_resource()
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (found == nullptr || SizeofResource(module, found) <= 1)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    return loaded != nullptr ? LockResource(loaded) : nullptr;
}

void extract_embedded_jars()
{
    if (find_jar_resource() == nullptr)
        return;
    // Extraction is not part of this build yet.
    report_error("Internal error RC0009001");
}

void remove_extracted_jars(const char* process_id_text)
{
    DWORD process_id = static_cast<DWORD>(atoi(process_id_text));
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    if (process != nullptr) {
        WaitForSingleObject(process, 30000);
        CloseHandle(process);
    }
    if (find_jar_resource() == nullptr)
        return;
    report_error("Internal error RC0009002");
}

void start_jar_cleanup()
{
    char path[MAX_PATH];
    if (!executable_path(path, sizeof path))
        return;
    char command[MAX_PATH + 64];
    format_text(command, sizeof command, "\"%s\" -ovremovetemporaryjarfiles %lu", path,
                static_cast<unsigned long>(GetCurrentProcessId()));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The handles stay open until this process ends, moments later.
    CreateProcessA(nullptr, command, nullptr, nullptr, TRUE,
                   CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE | DETACHED_PROCESS, nullptr, nullptr,
                   &startup, &process);
}
