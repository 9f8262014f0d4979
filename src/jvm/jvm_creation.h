// Creation of the process's one JVM.
#pragma once

// True when a JVM exists; on false the failure has been reported. With
// primary_main, main runs next on this thread after moving to the working
// directory, and the JVM starts with that directory as its user.dir.
bool create_jvm(bool primary_main = true);
