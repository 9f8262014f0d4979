// Creation of the process's one JVM.
#pragma once

// True when a JVM exists; on false the failure has been reported.
bool create_jvm();
