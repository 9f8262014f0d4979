#!/usr/bin/env bash
# Applies small deliberate faults to the product, one at a time, runs the
# tests that should notice each, and reports which faults no test caught:
# a measure of the suite's power to find faults, not a test itself.
#   bash scripts/mutants.sh [ID...]     (no ID: every fault of the list)
# Each fault: an id, a file, an exact text and its replacement, the preset
# whose tests judge it (host, or windows64 under 64-bit Wine), and a ctest
# name pattern. The file is restored after each fault.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. tests/wine_env.sh

faults=$(cat <<'LIST'
tokenizer-quote	src/launcher/tokenizer.cpp	            state->quoted = !state->quoted;	            state->quoted = false;	host	Tokenizer
unquote-escape	src/launcher/tokenizer.cpp	            if (c != '"')	            if (c == '"')	host	Tokenizer
version-at-least	src/jvm/version_constraints.cpp	return candidate >= constraint.value;	return candidate > constraint.value;	host	Version
boolean-zero	src/launcher/config_values.cpp	return text == nullptr || text[0] != '0';	return text == nullptr || text[0] != '1';	host	ConfigValue
heap-floor	src/launcher/expansion_rules.cpp	return result < 64 ? 64 : result;	return result < 32 ? 32 : result;	host	Expansion
join-separator	src/launcher/text_buffers.cpp	directory[directory_length - 1] != '\\';	directory[directory_length - 1] != '/';	host	TextBuffers|JoinPath
newest-runtime	src/jvm/runtime_choice.cpp	runtime_version_value(version) > chosen_version	runtime_version_value(version) >= chosen_version	host	RuntimeChoice
pe-signature	src/jvm/pe_machine.cpp	dos_header[0] != 'M' || dos_header[1] != 'Z'	dos_header[0] != 'M'	host	PeMachine
jar-trailing-blank	src/launcher/jar_blob.cpp	last != '.' && last != ' ' &&	last != '.' &&	host	JarBlob
property-exception	src/app/jni_calls.cpp	    if (check_java_exception(env)) {\n        report_error(message_text(message_invoke_method), "setProperty");	    if (false) {\n        report_error(message_text(message_invoke_method), "setProperty");	host	jvm\.
method-message	src/app/main_invocation.cpp	report_fatal_error_with_output(message_text(message_locate_method), main_description);	report_fatal_error_with_output(message_text(message_locate_class), main_description);	host	jvm\.
empty-options	src/jvm/jvm_options.cpp	    drop_empty_tokens(&jvm_option_tokens);	    (void)0;	windows64	JvmCreation|JavaStart
current-version	src/jvm/runtime_discovery.cpp	"CurrentVersion", version,	"CurrentVer", version,	windows64	Discovery
class-path-separator	src/jvm/class_path.cpp	class_path->text[class_path->length - 1] == ';'	class_path->text[class_path->length - 1] == ','	windows64	ClassPath
main-failure-exit	src/launcher/startup.cpp	end_launcher_process(main_returned ? 0 : -1);	end_launcher_process(0);	windows64	JavaStart
exit-status	src/app/jvm_hooks.cpp	end_launcher_process(static_cast<int>(status));	end_launcher_process(0);	windows64	JavaStart
service-failure-code	src/service/service_runtime.cpp	constexpr DWORD service_specific_failure = 1013;	constexpr DWORD service_specific_failure = 1;	windows64	Service
service-start-type	src/service/service_install.cpp	c.service_manual_start ? SERVICE_DEMAND_START : SERVICE_AUTO_START;	c.service_manual_start ? SERVICE_AUTO_START : SERVICE_DEMAND_START;	windows64	Service
capture-lost-line	src/app/capture_rules.cpp	            size_t dropped = static_cast<size_t>(line_feed - buffer) + 1;	            size_t dropped = static_cast<size_t>(line_feed - buffer) + 2;	host	Capture
jar-currency	src/launcher/embedded_jars.cpp	} else if (size == entry.size) {	} else if (size != entry.size) {	windows64	EmbeddedJar|Jar
LIST
)

wanted=" $* "
caught=0
survived=0
survivors=""
log="$root/build/mutants.log"
mkdir -p build
: >"$log"
while IFS=$'\t' read -r id file from to preset pattern; do
    [ -n "$id" ] || continue
    if [ $# -gt 0 ] && [[ "$wanted" != *" $id "* ]]; then continue; fi
    if ! python3 - "$file" "$from" "$to" <<'PY'
import sys
path, old, new = (a.replace("\\n", "\n") for a in sys.argv[1:4])
text = open(path).read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(old, new))
PY
    then
        echo "$id: the text to change is not in $file (once): update the list"
        survived=$((survived + 1)); survivors="$survivors $id(stale)"
        continue
    fi
    result=survived
    if ! cmake --build --preset "$preset" >>"$log" 2>&1; then
        result="caught (build)"
    elif [ "$preset" = host ]; then
        ctest --preset host -R "$pattern" >>"$log" 2>&1 || result=caught
    else
        use_wine_arch 64 && ensure_wine_prefix
        xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
            wineserver -p
            # The service tests read the event log from the warm-up'"'"'s
            # debug lines, as in the test suite.
            export ORVANE_WINE_EVENTS="$0.events"
            WINEDEBUG=-all,+eventlog wine "$2/launcher_watch.exe" --warm-up </dev/null >/dev/null 2>"$ORVANE_WINE_EVENTS"
            ctest --preset windows64 -j2 -R "$1" >>"$0" 2>&1; status=$?
            wineserver -k; wineserver -w; exit $status' "$log" "$pattern" "$wine_build_dir" || result=caught
    fi
    git checkout -q -- "$file"
    echo "$id: $result"
    case $result in
    caught*) caught=$((caught + 1)) ;;
    *) survived=$((survived + 1)); survivors="$survivors $id" ;;
    esac
done <<<"$faults"
# Rebuild what the last fault left behind.
cmake --build --preset host >/dev/null 2>&1
cmake --build --preset windows64 >/dev/null 2>&1
echo "caught $caught of $((caught + survived)); not caught:${survivors:- none}"
