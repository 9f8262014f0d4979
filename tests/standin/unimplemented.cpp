#include <string>

#include "jni_slots.h"
#include "jni_tables.h"
#include "record.h"

[[noreturn]] static void unimplemented(const char* name)
{
    fail_loudly(std::string("stand-in JVM: unimplemented JNI function ") + name);
}

// One stub per slot, so that the message names the slot that was called. A
// stub never returns, so its empty parameter list does no harm to the
// caller's stack, whatever the slot's own parameters are.
#define DEFINE_STUB(Name)                          \
    [[noreturn]] static void JNICALL unimplemented_##Name() \
    {                                              \
        unimplemented(#Name);                      \
    }
FOR_EACH_JNI_FUNCTION(DEFINE_STUB)
#undef DEFINE_STUB

void fill_with_unimplemented_stubs(JNINativeInterface_* table)
{
#define INSTALL_STUB(Name) \
    table->Name = reinterpret_cast<decltype(table->Name)>(reinterpret_cast<void*>(unimplemented_##Name));
    FOR_EACH_JNI_FUNCTION(INSTALL_STUB)
#undef INSTALL_STUB
}
