#include "app/capture_pipe.h"

#include <windows.h>

#include <cstdio>

#include "app/capture_rules.h"
#include "app/output_capture.h"
#include "ui/reporting.h"

#ifndef PIPE_REJECT_REMOTE_CLIENTS
#define PIPE_REJECT_REMOTE_CLIENTS 0x00000008
#endif

char output_pipe_name[256];

// The server end, INVALID_HANDLE_VALUE when there is none or once a report
// has taken it; swapped atomically, so only one report stops the reader.
static HANDLE volatile output_pipe = INVALID_HANDLE_VALUE;
// The reader thread, and the manual-reset event that asks it to stop.
static HANDLE pipe_reader = nullptr;
static HANDLE pipe_stop_event = nullptr;
// Set once a report is taking the pipe: the reader's end is then no failure.
static volatile LONG pipe_closing = 0;

// How long a report waits for the reader: a fatal report never hangs.
constexpr DWORD reader_stop_wait_ms = 3000;
// The pipe's inbound buffer: the application's writes return at once
// instead of each waiting for the reader (a third of the throughput).
constexpr DWORD pipe_buffer_size = 64 * 1024;
// What the reader still reads once asked to stop: more than the pipe holds;
// the capture keeps only the newest 8 KiB anyway.
constexpr size_t drain_limit = 1 << 20;

namespace {

// A security descriptor whose access list grants the pipe to the user of
// this process alone.
struct UserOnlySecurity {
    SECURITY_DESCRIPTOR descriptor;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } token_user;
    union {
        ACL acl;
        BYTE bytes[256];
    } access_list;
};

bool make_user_only_security(UserOnlySecurity* security)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    BOOL have_user = GetTokenInformation(token, TokenUser, security->token_user.bytes,
                                         sizeof security->token_user.bytes, &size);
    CloseHandle(token);
    if (!have_user)
        return false;
    ACL* acl = &security->access_list.acl;
    return InitializeAcl(acl, sizeof security->access_list.bytes, ACL_REVISION) &&
           AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, security->token_user.user.User.Sid) &&
           InitializeSecurityDescriptor(&security->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&security->descriptor, TRUE, acl, FALSE);
}

// The reader's side of one pipe: overlapped reads, each waited for, that
// end when the writer goes away or a report asks the reader to stop.
struct PipeSource {
    HANDLE pipe;
    HANDLE read_done;
    bool stopping;
    size_t drained;
    DWORD failure; // a genuine read failure, 0 when none
};

// The end of the reading: a pipe that broke, disconnected, or was taken by a
// report ends quietly (0); anything else is a failure (-1).
long read_ended(PipeSource* source, DWORD error)
{
    if (source->stopping || pipe_closing != 0 || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED ||
        error == ERROR_NO_DATA || error == ERROR_OPERATION_ABORTED)
        return 0;
    source->failure = error;
    return -1;
}

long read_pipe(void* context, char* into, size_t room)
{
    PipeSource* source = static_cast<PipeSource*>(context);
    if (source->stopping) {
        // Asked to stop: only what is queued already, and not without end.
        DWORD available = 0;
        if (source->drained >= drain_limit ||
            !PeekNamedPipe(source->pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            return 0;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = source->read_done;
    if (!ReadFile(source->pipe, into, static_cast<DWORD>(room), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        return read_ended(source, GetLastError());
    if (!source->stopping) {
        // A finished read comes first, so nothing read is lost to the stop.
        HANDLE waits[2] = {source->read_done, pipe_stop_event};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            source->stopping = true;
            CancelIo(source->pipe);
        }
    }
    DWORD count = 0;
    if (!GetOverlappedResult(source->pipe, &overlapped, &count, TRUE)) {
        DWORD error = GetLastError();
        if (source->stopping && error == ERROR_OPERATION_ABORTED)
            return read_pipe(context, into, room); // the cancelled read: drain what is queued
        return read_ended(source, error);
    }
    source->drained += source->stopping ? count : 0;
    return static_cast<long>(count);
}

void append_to_capture(const char* bytes, size_t length, void*)
{
    capture_append(bytes, length);
}

DWORD WINAPI pipe_reader_thread(LPVOID pipe)
{
    PipeSource source{static_cast<HANDLE>(pipe), CreateEventA(nullptr, TRUE, FALSE, nullptr), false, 0, 0};
    if (source.read_done == nullptr)
        return 0;
    int result = read_lines_until_end(read_pipe, &source, append_to_capture, nullptr);
    CloseHandle(source.read_done);
    if (result < 0 && pipe_closing == 0 && captured_output[0] == '\0') {
        SetLastError(source.failure);
        report_error_with_reason("Internal error RC0000050");
    }
    return 0;
}

} // namespace

bool create_capture_pipe()
{
    snprintf(output_pipe_name, sizeof output_pipe_name, "\\\\.\\pipe\\%lu",
             static_cast<unsigned long>(GetCurrentProcessId()));
    UserOnlySecurity security;
    if (!make_user_only_security(&security))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &security.descriptor, FALSE};
    const DWORD open_mode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE;
    const DWORD pipe_mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
    HANDLE pipe = CreateNamedPipeA(output_pipe_name, open_mode, pipe_mode | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                                   pipe_buffer_size, 0, &attributes);
    // Systems before Vista know no remote-client flag; the access list then
    // keeps other users out.
    if (pipe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        pipe = CreateNamedPipeA(output_pipe_name, open_mode, pipe_mode, 1, 0, pipe_buffer_size, 0, &attributes);
    if (pipe == INVALID_HANDLE_VALUE)
        return false;
    pipe_stop_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (pipe_stop_event == nullptr) {
        CloseHandle(pipe);
        return false;
    }
    output_pipe = pipe;
    return true;
}

bool capture_pipe_client_is_this_process()
{
    using ClientFunction = BOOL(WINAPI*)(HANDLE, PULONG);
    auto client_process = reinterpret_cast<ClientFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "GetNamedPipeClientProcessId")));
    if (client_process == nullptr)
        return true;
    ULONG client = 0;
    return client_process(output_pipe, &client) && client == GetCurrentProcessId();
}

void close_capture_pipe()
{
    HANDLE pipe = InterlockedExchangePointer(const_cast<HANDLE*>(&output_pipe), INVALID_HANDLE_VALUE);
    if (pipe != INVALID_HANDLE_VALUE)
        CloseHandle(pipe);
}

bool start_pipe_reader()
{
    pipe_reader = CreateThread(nullptr, 0, pipe_reader_thread, output_pipe, 0, nullptr);
    if (pipe_reader == nullptr) {
        report_error_with_reason("Internal error RC000015");
        return false;
    }
    return true;
}

void stop_capture_pipe()
{
    HANDLE pipe = InterlockedExchangePointer(const_cast<HANDLE*>(&output_pipe), INVALID_HANDLE_VALUE);
    if (pipe == INVALID_HANDLE_VALUE)
        return;
    InterlockedExchange(&pipe_closing, 1);
    if (pipe_reader != nullptr) {
        SetEvent(pipe_stop_event);
        if (WaitForSingleObject(pipe_reader, reader_stop_wait_ms) != WAIT_OBJECT_0)
            return;
        CloseHandle(pipe_reader);
        pipe_reader = nullptr;
    }
    CloseHandle(pipe);
}
