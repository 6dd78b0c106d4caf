#!/usr/bin/env bash
# Static checks of the program's own sources (not the tests); fails on any
# finding:
#   layers    no folder includes from a layer above it;
#   cppcheck  with the Windows build's definitions;
#   clang     a second compiler: clang for the same i686 Windows target,
#             warnings as errors, build only (build-clang/);
#   tidy      clang-tidy over that build's compile commands.
# Usage: scripts/lint.sh [layers|cppcheck|clang|tidy ...]   (default: all)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

jobs=$(nproc 2>/dev/null || echo 2)
PROGRAM_DIRS=(core tray printers locations dialogs app)

# Each folder includes only from itself and the folders before it; res/ holds
# the ids everyone may include.
layer_of() {
    case $1 in
        core/*) echo 0 ;; tray/*) echo 1 ;; printers/*) echo 2 ;;
        locations/*) echo 3 ;; dialogs/*) echo 4 ;; app/*) echo 5 ;;
        res/*) echo res ;; *) echo none ;;
    esac
}

check_layers() {
    local file from dir inc target to bad status=0
    while IFS= read -r file; do
        from=$(layer_of "$file")
        dir=$(dirname "$file")
        while IFS= read -r inc; do
            target=$(realpath -m --relative-to=. "$dir/$inc")
            [ -e "$target" ] || continue          # not one of ours
            to=$(layer_of "$target")
            bad=0
            if [ "$from" = res ]; then
                [ "$to" = res ] || bad=1
            elif [ "$to" = none ]; then
                bad=1
            elif [ "$to" != res ] && [ "$to" -gt "$from" ]; then
                bad=1
            fi
            if [ "$bad" -eq 1 ]; then
                echo "$file: includes $target from a layer above it"
                status=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    done < <(find "${PROGRAM_DIRS[@]}" res -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.rc' \) | sort)
    return "$status"
}

# The system headers are left to cppcheck's own Windows library.
CPPCHECK_SUPPRESS=(
    --suppress=missingIncludeSystem
    # C-style code: handles and heap buffers are cast the C way throughout.
    --suppress=cstyleCast
    # Declarations at the top of a block are the house style.
    --suppress=variableScope
    # Flags only the bounded copies: a cut copy is still terminated, and the
    # copies whose cutting matters test the result.
    --suppress=ignoredReturnValue
)

run_cppcheck() {
    cppcheck --quiet --error-exitcode=1 --inline-suppr \
        --enable=warning,style,performance,portability --library=windows --platform=win32A \
        --std=c++11 --language=c++ -I. \
        -D_WIN32 -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 \
        -D_WINSOCK_DEPRECATED_NO_WARNINGS \
        "${CPPCHECK_SUPPRESS[@]}" "${PROGRAM_DIRS[@]}"
}

# Its compile commands also serve clang-tidy.
build_with_clang() {
    cmake --no-warn-unused-cli -S . -B build-clang \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw-clang.cmake \
        -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    if ! cmake --build build-clang -j "$jobs" >build-clang/build.log 2>&1; then
        grep -E 'error|warning' build-clang/build.log || tail -n 30 build-clang/build.log
        return 1
    fi
}

TIDY_CHECKS=(
    -*
    bugprone-*
    clang-analyzer-*
    cert-*
    # Window procedures and WinMain have fixed signatures, and the plain-data
    # helpers take their texts side by side on purpose.
    -bugprone-easily-swappable-parameters
)

run_clang_tidy() {
    local checks root
    checks=$(IFS=,; echo "${TIDY_CHECKS[*]}")
    root=$(pwd)
    find "${PROGRAM_DIRS[@]}" -name '*.cpp' | sort |
        xargs -P "$jobs" -n 1 clang-tidy -p build-clang --quiet --checks="$checks" \
            --warnings-as-errors='*' \
            --header-filter="^$root/(core|tray|printers|locations|dialogs|app|res)/" \
            2> >(grep -v -E '^[0-9]+ warnings? generated\.$' >&2)
}

steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(layers cppcheck clang tidy)
failed=0
for step in "${steps[@]}"; do
    case $step in
        layers) echo "== layers"; check_layers || failed=1 ;;
        cppcheck) echo "== cppcheck"; run_cppcheck || failed=1 ;;
        clang) echo "== clang, i686 Windows target (build only)"; build_with_clang || failed=1 ;;
        tidy)
            echo "== clang-tidy"
            [ -f build-clang/compile_commands.json ] || build_with_clang || failed=1
            run_clang_tidy || failed=1
            ;;
        *) echo "usage: scripts/lint.sh [layers|cppcheck|clang|tidy ...]" >&2; exit 2 ;;
    esac
done

if [ "$failed" -ne 0 ]; then
    echo "lint.sh: findings above" >&2
    exit 1
fi
echo "lint.sh: no findings"
