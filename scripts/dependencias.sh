# Instala con apt-get los paquetes de Debian que falten. Se carga desde run.sh y test.sh.
PAQUETES_PROGRAMA=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins qt6-translations-l10n
    libsqlite3-dev libpq-dev libkainjow-mustache-dev libxlsxwriter-dev libx11-dev fonts-dejavu-core xdg-utils)
PAQUETES_PRUEBAS=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth x11-utils poppler-utils python3 clang-format-14 unzip
    postgresql-15)

instalar_dependencias() {
    local faltan=()
    local paquete
    for paquete in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$paquete" 2>/dev/null | grep -q 'install ok installed'; then
            faltan+=("$paquete")
        fi
    done
    if [ ${#faltan[@]} -eq 0 ]; then
        return 0
    fi
    echo "Instalando paquetes que faltan: ${faltan[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${faltan[@]}"
}

compilar() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j"$(nproc)"
}
