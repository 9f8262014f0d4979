// The call of the configured class's main(String[]).
#pragma once
#include "launcher/text_buffers.h"

struct MainInvocation {
    ArgVector args;  // application arguments; may be empty
    bool secondary;  // a later call on an attached thread, not the first one
};

// True when main returned without a pending exception; false after a
// reported failure. Blocks while main runs.
bool run_main_class(MainInvocation invocation);
