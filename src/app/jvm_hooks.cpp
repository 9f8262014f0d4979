#include "app/jvm_hooks.h"

#include <cstdlib>
#include <cstring>

#include "app/output_capture.h"
#include "app/system_services.h"
#include "jvm/console.h"
#include "jvm/jvm_instance.h"
#include "launcher/configuration.h"
#include "launcher/embedded_jars.h"
#include "launcher/startup.h"
#include "service/service_runtime.h"
#include "ui/reporting.h"

jint JNICALL jvm_vfprintf_hook(FILE*, const char* format, va_list args)
{
    char text[diagnostic_size];
    int written = format_jvm_diagnostic(text, format, args);
    // No pause here: a JVM calls this once per piece of every line it logs
    // (HotSpot does for -verbose:gc and -Xlog), and a pause per call would
    // stall the JVM's own threads.
    if (non_nt_platform) {
        fputs(text, stderr);
        fflush(stderr);
        return written;
    }
    char lines[2 * diagnostic_size];
    capture_append(lines, expand_line_feeds(text, lines, sizeof lines));
    return written;
}

// What both hooks release before the process ends. run_ok tells a service
// whether this end is a success.
static void release_before_exit(bool run_ok)
{
    if (embedded_jar_count > 0 && launcher_config.remove_extracted_jars_at_exit)
        start_jar_cleanup();
    close_instance_mutex();
    if (service_mode)
        hand_over_to_service_main(run_ok);
}

void JNICALL jvm_exit_hook(jint status)
{
    remove_console_hook();
    release_before_exit(status == 0);
    end_launcher_process(static_cast<int>(status));
}

void JNICALL jvm_abort_hook()
{
    report_jvm_failure_with_output("JVM has aborted due to an internal error.");
    release_before_exit(false);
    end_process_abnormally();
}
