#!/bin/sh
# expect_exit.sh CODE PATTERN PROGRAM [ARGS...]: runs PROGRAM with no input (or the file named by
# EXPECT_INPUT) and passes when it exits with CODE and its output (standard output and error
# together) matches the extended regular expression PATTERN.
code=$1
pattern=$2
shift 2
output=$("$@" <"${EXPECT_INPUT:-/dev/null}" 2>&1)
status=$?
printf '%s\n' "$output" | head -c 4000
if [ "$status" -ne "$code" ]; then
    echo "expect_exit: exit code $status, expected $code" >&2
    exit 1
fi
if ! printf '%s\n' "$output" | grep -Eq -- "$pattern"; then
    echo "expect_exit: output does not match: $pattern" >&2
    exit 1
fi
