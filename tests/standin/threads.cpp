#include "threads.h"

#include <windows.h>

#include <vector>

#include "record.h"

// Every Java thread the JVM has had, alive or ended; records are never
// freed, so that an env a launcher keeps after detaching stays readable.
// Guarded by threads_lock; threads_changed is woken whenever a thread ends.
static SRWLOCK threads_lock = SRWLOCK_INIT;
static CONDITION_VARIABLE threads_changed = CONDITION_VARIABLE_INIT;
static std::vector<JavaThread*> threads;
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

JavaThread* register_java_thread(const std::string& name, bool make_current)
{
    JavaThread* thread = new JavaThread();
    thread->name = name;
    AcquireSRWLockExclusive(&threads_lock);
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

// Whether a live thread other than except remains; under threads_lock.
static bool others_alive(JavaThread* except)
{
    for (JavaThread* thread : threads)
        if (thread != except && thread->alive)
            return true;
    return false;
}

void wait_for_other_threads(JavaThread* except)
{
    AcquireSRWLockExclusive(&threads_lock);
    while (others_alive(except))
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
