#include "ui/common_controls.h"

#include <windows.h>
#include <commctrl.h>

#include "launcher/text_buffers.h"

// Set once the controls are initialised; a second load would only count a
// reference, so a race of two first callers does no harm.
static volatile LONG common_controls_ready = 0;

// Loads COMCTL32 through the manifest's side-by-side redirection when the
// activation context has one for the name; a bare name without it would be
// searched for in the executable's and the current directory first, since
// COMCTL32 is no KnownDLL.
static HMODULE load_common_controls()
{
    using FindSectionFunction = BOOL(WINAPI*)(DWORD, const GUID*, ULONG, LPCSTR, PACTCTX_SECTION_KEYED_DATA);
    auto find_section = reinterpret_cast<FindSectionFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "FindActCtxSectionStringA")));
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof redirection;
    if (find_section != nullptr &&
        find_section(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, "comctl32.dll", &redirection)) {
        HMODULE module = LoadLibraryA("comctl32.dll");
        if (module != nullptr)
            return module;
    }
    char system_directory[MAX_PATH];
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(system_directory, sizeof system_directory);
    if (length == 0 || length >= sizeof system_directory ||
        !join_path(path, sizeof path, system_directory, "comctl32.dll"))
        return nullptr;
    return LoadLibraryA(path);
}

void ensure_common_controls()
{
    if (common_controls_ready != 0)
        return;
    HMODULE module = load_common_controls();
    if (module == nullptr)
        return;
    using InitExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    using InitFunction = void(WINAPI*)();
    auto init_ex = reinterpret_cast<InitExFunction>(reinterpret_cast<void*>(GetProcAddress(module, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
    if (init_ex != nullptr) {
        init_ex(&classes);
    } else {
        auto init = reinterpret_cast<InitFunction>(reinterpret_cast<void*>(GetProcAddress(module, "InitCommonControls")));
        if (init != nullptr)
            init();
    }
    InterlockedExchange(&common_controls_ready, 1);
}
