// The end of the JVM: detach, destroy and unload.
#pragma once

void shutdown_jvm();
