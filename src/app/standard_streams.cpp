#include "app/standard_streams.h"

bool set_up_standard_streams()
{
    // Redirection to log files and the capture pipe is not part of this build
    // yet: the streams stay where the JVM put them.
    return true;
}
