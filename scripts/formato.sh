#!/usr/bin/env bash
# Comprueba que cada archivo de código sigue .clang-format. Si alguno no, dice cuáles y cómo
# arreglarlos, y termina con 1.
set -euo pipefail
cd "$(dirname "$0")/.."
formateador=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$formateador" ]; then
    echo "falta clang-format-14 (paquete clang-format-14): ./test.sh lo instala" >&2
    exit 1
fi
mal=()
while IFS= read -r -d '' archivo; do
    if ! "$formateador" --dry-run --Werror "$archivo" >/dev/null 2>&1; then
        mal+=("$archivo")
    fi
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'tools/*.cpp' 'tools/*.h' \
    'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 2>/dev/null ||
    find src tests tools bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0)
if [ ${#mal[@]} -gt 0 ]; then
    echo "Estos ${#mal[@]} archivos no siguen .clang-format:" >&2
    printf '    %s\n' "${mal[@]}" >&2
    echo "Arréglelos con: $formateador -i ARCHIVO..." >&2
    exit 1
fi
echo "formato: todos los archivos siguen .clang-format"
