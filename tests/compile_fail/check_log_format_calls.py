#!/usr/bin/env python3
"""Compiles tests/compile_fail/log_format_calls.cpp once per case with the
compiler given: case 0 must compile, every other case must fail with its own
fault in the compiler's message.

    check_log_format_calls.py COMPILER SOURCE_DIR
"""
import subprocess
import sys

# case: what the compiler's message must hold
FAULTS = {
    1: "placeholder_without_a_value",
    2: "value_without_a_placeholder",
    3: "value_without_a_placeholder",  # the old "%d" is plain text now
    4: "d_placeholder_needs_an_integer",
    5: "d_placeholder_needs_an_integer",
    6: "d_placeholder_needs_an_integer",
    7: "fixed_placeholder_needs_a_floating_point_number",
    8: "size_placeholder_needs_an_unsigned_integer",
    9: "size_placeholder_needs_an_unsigned_integer",
    10: "unknown_placeholder",
    11: "unknown_placeholder",
    12: "unmatched_open_brace",
    13: "unmatched_close_brace",
    14: "not a constant expression",
    15: "log_arg",
    16: "LogLevel",
}


def compile_case(compiler, source_dir, case):
    command = [compiler, "-std=c++20", "-fsyntax-only", "-Wall", "-Wextra", "-Werror", f"-I{source_dir}",
               f"-DCASE={case}", f"{source_dir}/tests/compile_fail/log_format_calls.cpp"]
    return subprocess.run(command, capture_output=True, text=True)


def main():
    compiler, source_dir = sys.argv[1], sys.argv[2]
    failures = []
    ok = compile_case(compiler, source_dir, 0)
    if ok.returncode != 0:
        failures.append(f"case 0 (every call right) does not compile:\n{ok.stderr}")
    for case, fault in FAULTS.items():
        r = compile_case(compiler, source_dir, case)
        if r.returncode == 0:
            failures.append(f"case {case} compiles, but should fail with {fault}")
        elif fault not in r.stderr:
            failures.append(f"case {case} fails, but not with {fault}:\n{r.stderr}")
    for f in failures:
        print(f)
    print(f"{compiler}: {1 + len(FAULTS) - len(failures)} of {1 + len(FAULTS)} cases as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
