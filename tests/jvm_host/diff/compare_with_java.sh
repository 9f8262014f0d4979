#!/usr/bin/env bash
# Runs real programs twice, by java and by orvane-host-run with an application
# file that says the same, and compares standard output, standard error
# (without the launcher's marked report lines), the exit status and the files
# the program wrote, byte for byte. Differences by design are listed in
# intended_differences below; any other difference fails.
#
# usage: compare_with_java.sh HOST_RUN JAVA CLASSES (a directory with a blank
# in its name, so that the launcher's quoted class-path option is compared too)
set -u
host_run=$(realpath "$1") java=$(realpath "$2") classes=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/orvane-diff.XXXXXX)
trap 'rm -rf "$work"' EXIT
export DIFF_CLASSES=$classes DIFF_RUN=$work/run DIFF_LOGS=$work/logs
failed=0

# CASE@WHAT@SIDE@sed program@why. WHAT is out, err or status; SIDE is java,
# orvane or both (both: output that differs from run to run).
intended_differences='
*throw@status@java@s/^1$/255/@an exception out of main ends the launcher with -1
*throw@err@java@s/^Exception in thread "main" //@the JVM writes this head through the "vfprintf" hook: it reaches the report, not the stream
linger-throw@out@java@/^worker finished after main$/d@after an exception out of main the launcher ends at once; java waits for the other threads
properties*@out@java@/^sun\.java\.(command|launcher)=/d@properties the java command sets
properties*@out@orvane@/^orvane\.(exe\.path|appini\.showconsole|csidl\.[a-z.]+)=/d@the launcher'"'"'s own properties
junit-*@out@both@s/^Time: [0-9.,]+$/Time: T/@the duration of the run
ant-fail@err@both@s/^Total time: [0-9]+ (milli)?seconds?$/Total time: T/@the duration of the build
'

# Applies the intended differences of case to the file of what on side.
apply_intended() {
    local name=$1 what=$2 side=$3 file=$4 pattern kind who program why
    while IFS='@' read -r pattern kind who program why; do
        [ -n "$pattern" ] || continue
        # shellcheck disable=SC2254
        case $name in $pattern) ;; *) continue ;; esac
        [ "$kind" = "$what" ] && { [ "$who" = "$side" ] || [ "$who" = both ]; } || continue
        sed -E -i "$program" "$file"
    done <<<"$intended_differences"
}

# The files the cases start with (Ant's build file, ANTLR's grammar), in the
# directory both runs start in, and the log files of stream mode 1, which
# held a line each before.
prepare_run() {
    rm -rf "$work/run" "$work/logs"
    mkdir -p "$work/run" "$work/logs"
    echo old >"$work/logs/out.log"
    echo old >"$work/logs/err.log"
    cp "$here"/inputs/* "$work/run/"
}

# compare NAME APP_FILE JAVA_ARGUMENTS... -- PROGRAM_ARGUMENTS...
# In cases logs-* (stream mode 1) the launcher prints nothing but its
# reports, and its log files hold what java printed on each stream, the one
# of standard output appended to, the other truncated. In cases capture-*
# (stream mode 2) it prints nothing either, and the capture at the end holds
# the tail of what java printed (both streams in one), in whole lines: the
# newest lines that fit in 8191 bytes, short of a full buffer by less than
# one line.
compare() {
    local name=$1 app=$2 side what verdict=same compared="status out err"
    shift 2
    local java_args=()
    while [ "$1" != -- ]; do java_args+=("$1"); shift; done
    shift
    : >"$work/java.err"
    for side in java orvane; do
        prepare_run
        if [ $side = orvane ]; then
            (cd "$work/run" && ORVANE_HOST_RUN_CAPTURE=$work/capture "$host_run" "$work/apps/$app" "$@" \
                >"$work/orvane.out" 2>"$work/orvane.err.all")
        elif [[ $name = capture-* ]]; then
            (cd "$work/run" && "$java" "${java_args[@]}" "$@" >"$work/java.out" 2>&1)
        else
            (cd "$work/run" && "$java" "${java_args[@]}" "$@" >"$work/java.out" 2>"$work/java.err")
        fi
        echo $? >"$work/$side.status"
        mv "$work/run" "$work/$side.files"
    done
    sed '/^orvane-report: /d' "$work/orvane.err.all" >"$work/orvane.err"
    if [[ $name = logs-* || $name = capture-* ]] && { [ -s "$work/orvane.out" ] || [ -s "$work/orvane.err" ]; }; then
        verdict=different
        echo "--- $name: the launcher printed beside its log files or capture:"
        head -n 10 "$work/orvane.out" "$work/orvane.err"
    fi
    case $name in
    logs-*)
        sed -i '1i old' "$work/java.out"
        cp "$work/logs/out.log" "$work/orvane.out"
        cp "$work/logs/err.log" "$work/orvane.err"
        ;;
    capture-*)
        compared=status
        python3 - "$work/java.out" "$work/capture" <<'PY' || verdict=different
import sys
java, capture = (open(path, "rb").read() for path in sys.argv[1:3])
limit = 8191
longest = max(len(line) + 1 for line in java.split(b"\n"))
at_line_start = len(capture) == len(java) or java[-len(capture) - 1:-len(capture)] == b"\n"
full = len(capture) > limit - longest if len(java) > limit else len(capture) == len(java)
if not (capture and java.endswith(capture) and at_line_start and len(capture) <= limit and full):
    print("--- the capture (%d bytes, from %r) is not the tail of java's %d bytes in whole lines"
          % (len(capture), capture[:40], len(java)))
    sys.exit(1)
PY
        ;;
    esac
    for side in java orvane; do
        for what in out err status; do apply_intended "$name" $what $side "$work/$side.$what"; done
    done
    for what in $compared; do
        if ! cmp -s "$work/java.$what" "$work/orvane.$what"; then
            verdict=different
            echo "--- $name: $what differs (java, then orvane-host-run)"
            diff -u "$work/java.$what" "$work/orvane.$what" | head -n 30
        fi
    done
    if ! diff -r "$work/java.files" "$work/orvane.files" >"$work/files.diff"; then
        verdict=different
        echo "--- $name: the written files differ"
        head -n 30 "$work/files.diff"
    fi
    [ $verdict = same ] || failed=$((failed + 1))
    echo "$name: $verdict (status $(cat "$work/java.status"), $(wc -c <"$work/java.out") bytes out," \
         "$(wc -c <"$work/java.err") bytes err, $(find "$work/java.files" -type f | wc -l) files)"
    rm -rf "$work/java.files" "$work/orvane.files"
}

# The application files, beside the directory tree the scanned case reads.
mkdir -p "$work/apps/scan/lib" "$work/apps/scan/Upper"
cp "$here"/apps/*.toml "$work/apps/"
(cd "$classes" && "$(dirname "$java")/jar" cf "$work/apps/scan/lib/program.jar" orvane/diff/Program*.class)
for jar in scan/b.jar scan/Upper/c.JAR scan/z.zip extra.jar; do
    cp /usr/share/java/hamcrest-core.jar "$work/apps/$jar"
done
echo "not an archive" >"$work/apps/scan/notes.txt"
s=$work/apps/scan

program=(-cp "$classes" orvane.diff.Program)
compare hello program.toml "${program[@]}" -- hello
compare throw program.toml "${program[@]}" -- throw
compare exit program.toml "${program[@]}" -- exit 7
compare linger program.toml "${program[@]}" -- linger
compare linger-throw program.toml "${program[@]}" -- linger-throw
compare print program.toml "${program[@]}" -- print
compare logs-hello logs.toml "${program[@]}" -- hello
compare logs-throw logs.toml "${program[@]}" -- throw
compare capture-hello capture.toml "${program[@]}" -- hello
compare capture-exit capture.toml "${program[@]}" -- exit 7
compare capture-print capture.toml "${program[@]}" -- print
compare properties program.toml "${program[@]}" -- properties "two words" 'quote"inside' '' 'grüße, ĳ ☃'
compare properties-scanned scanned.toml -Xmx64m "-Dorvane.diff.note=two words" \
    -cp "$s:$s/b.jar:$s/lib/program.jar:$s/Upper/c.JAR:$s/z.zip:$work/apps/extra.jar" \
    orvane.diff.Program properties "a static option" -- given
junit=(-cp /usr/share/java/junit4.jar:/usr/share/java/hamcrest-core.jar:"$classes" org.junit.runner.JUnitCore)
compare junit-pass junit.toml "${junit[@]}" -- orvane.diff.PassingTest
compare junit-fail junit.toml "${junit[@]}" -- orvane.diff.FailingTest
ant=(-classpath /usr/share/ant/lib/ant-launcher.jar -Dant.home=/usr/share/ant -Dant.library.dir=/usr/share/ant/lib
     -Djava.security.manager=allow org.apache.tools.ant.launch.Launcher -cp '')
compare ant-version ant.toml "${ant[@]}" -- -version
compare ant-fail ant.toml "${ant[@]}" -- -f build.xml
antlr_jars=/usr/share/java/stringtemplate4.jar:/usr/share/java/antlr4.jar:/usr/share/java/antlr4-runtime.jar
antlr_jars=$antlr_jars:/usr/share/java/antlr3-runtime.jar:/usr/share/java/treelayout.jar
compare antlr antlr.toml -cp "$antlr_jars" org.antlr.v4.Tool -- -o generated -package orvane.diff -visitor Words.g4
maven_lib=$(ls /usr/share/maven/lib/*.jar | sort -f | tr '\n' ':')
compare maven maven.toml -Dclassworlds.conf=/usr/share/maven/bin/m2.conf -Dmaven.home=/usr/share/maven \
    -Dlibrary.jansi.path=/usr/share/maven/lib/jansi-native -Dmaven.multiModuleProjectDirectory="$work/run" \
    -cp "/usr/share/maven/boot:/usr/share/maven/boot/plexus-classworlds-2.x.jar:/usr/share/maven/lib:${maven_lib%:}" \
    org.codehaus.plexus.classworlds.launcher.Launcher -- -v

echo "$failed case(s) differ"
[ $failed -eq 0 ]
