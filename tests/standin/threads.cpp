#include "threads.h"

#include <windows.h>

#include <vector>

#include "jni_tables.h"
#include "record.h"

// Every Java thread the JVM has had, alive or ended; records are never
// freed, so that an env a launcher keeps after detaching stays readable.
// Guarded by threads_lock, as is unnamed_thread_count; threads_changed is
// woken whenever a thread ends.
static SRWLOCK threads_lock = SRWLOCK_INIT;
static CONDITION_VARIABLE threads_changed = CONDITION_VARIABLE_INIT;
static std::vector<JavaThread*> threads;
// How many threads were given a "Thread-<n>" name so far.
static int unnamed_thread_count = 0;
// Thread-local slot holding the JavaThread of the calling native thread.
static DWORD current_thread_slot = TLS_OUT_OF_INDEXES;

void init_threads()
{
    current_thread_slot = TlsAlloc();
}

JavaThread* current_thread()
{
    return static_cast<JavaThread*>(TlsGetValue(current_thread_slot));
}

JavaThread* register_java_thread(const std::string& name, bool daemon, bool make_current)
{
    JavaThread* thread = new JavaThread();
    thread->env.functions = env_functions;
    thread->pending = nullptr;
    thread->running = nullptr;
    thread->daemon = daemon;
    thread->alive = true;
    AcquireSRWLockExclusive(&threads_lock);
    thread->name = name.empty() ? "Thread-" + std::to_string(unnamed_thread_count++) : name;
    threads.push_back(thread);
    ReleaseSRWLockExclusive(&threads_lock);
    if (make_current)
        make_current_thread(thread);
    return thread;
}

void make_current_thread(JavaThread* thread)
{
    TlsSetValue(current_thread_slot, thread);
}

void end_java_thread(JavaThread* thread)
{
    if (current_thread() == thread)
        TlsSetValue(current_thread_slot, nullptr);
    AcquireSRWLockExclusive(&threads_lock);
    thread->alive = false;
    WakeAllConditionVariable(&threads_changed);
    ReleaseSRWLockExclusive(&threads_lock);
}

// The number of live non-daemon threads other than except; under threads_lock.
static int other_non_daemon_threads(JavaThread* except)
{
    int count = 0;
    for (JavaThread* thread : threads)
        if (thread != except && thread->alive && !thread->daemon)
            ++count;
    return count;
}

void wait_for_non_daemon_threads(JavaThread* except)
{
    AcquireSRWLockExclusive(&threads_lock);
    while (other_non_daemon_threads(except) > 0)
        SleepConditionVariableSRW(&threads_changed, &threads_lock, INFINITE, 0);
    ReleaseSRWLockExclusive(&threads_lock);
}

JavaThread* thread_of(JNIEnv* env, const char* function)
{
    JavaThread* thread = reinterpret_cast<JavaThread*>(env);
    if (env == nullptr || thread != current_thread())
        fail_loudly(std::string("stand-in JVM: ") + function +
                    " called with a JNIEnv that is not the calling thread's own");
    return thread;
}
