#!/bin/bash
# El paquete portátil: prueba_paquete.sh <empaquetar.cmake> <carpeta del programa> <carpeta de entrega>
#                                         <carpeta raíz del paquete> <ejecutables separados por ;>
# Se rehace el paquete sobre una copia de la carpeta del programa en la que un usuario ya ha
# trabajado, se descomprime en otro sitio y se comprueba que lleva el programa completo y la
# base tal como se entrega, nunca la del usuario ni sus copias; y que un programa incompleto no
# da un paquete.
set -u
script=${1:?falta empaquetar.cmake}
programa=${2:?falta la carpeta del programa}
entrega=${3:?falta la carpeta de entrega}
nombre=${4:?falta el nombre del paquete}
IFS=';' read -r -a ejecutables <<<"${5:?faltan los ejecutables}"

fallos=0
fallo() { echo "FALLO: $*"; fallos=$((fallos + 1)); }
temporal=$(mktemp -d)
trap 'rm -rf "$temporal"' EXIT

# La carpeta del programa de un usuario: su base con una empresa y un centro, las copias que deja
# Reparar, un diario de SQLite y un documento exportado.
usuario="$temporal/programa"
cp -a "$programa" "$usuario"
python3 - "$usuario/Evaluacion.mdb" <<'PY' || { echo "FALLO: no se puede preparar la base del usuario"; exit 1; }
import sqlite3, sys
c = sqlite3.connect(sys.argv[1])
c.execute("INSERT INTO Empresas (IDEmpresa, Nombre) VALUES (901, 'Empresa del usuario')")
c.execute("INSERT INTO CentroTrabajo (IDCentro, IDEmpresa, NombreCentro, Direccion) VALUES (901, 901, 'Tienda', 'Tienda')")
c.commit()
PY
cp "$usuario/Evaluacion.mdb" "$usuario/Evaluacion.bak"
cp "$usuario/Evaluacion.mdb" "$usuario/Evaluacion2.mdb"
: >"$usuario/Evaluacion.mdb-journal"
cp "$usuario/Conceptos basicos.pdf" "$usuario/Evaluación centro 901.pdf"

paquete="$temporal/salida/paquete.tar.gz"
cmake -DPROGRAMA="$usuario" -DENTREGA="$entrega" -DNOMBRE="$nombre" -DDESTINO="$paquete" \
    "-DEJECUTABLES=$5" -P "$script" >"$temporal/empaquetar.log" 2>&1 ||
    { cat "$temporal/empaquetar.log"; echo "FALLO: no se ha podido empaquetar"; exit 1; }
[ -s "$paquete" ] || { echo "FALLO: no hay paquete"; exit 1; }
ls "$temporal/salida" | grep -qv '^paquete.tar.gz$' && fallo "quedan archivos de trabajo junto al paquete"

destino="$temporal/descomprimido"
mkdir -p "$destino"
tar xzf "$paquete" -C "$destino" || { echo "FALLO: el paquete no se descomprime"; exit 1; }
[ "$(ls "$destino")" = "$nombre" ] || fallo "el paquete no tiene una sola carpeta raíz $nombre: $(ls "$destino" | tr '\n' ' ')"
raiz="$destino/$nombre"

# Lo que tiene que llevar, y nada más.
esperados=("${ejecutables[@]}" Evaluacion.mdb Catalogo.mdb SYSTEM.mdw Informes/Evaluacion.rpt Informes/Planificacion.rpt
    "Antes de empezardef.pdf" "Conceptos basicos.pdf"
    "Ayuda/Empresas.pdf" "Ayuda/Inicio Evaluacion.pdf" "Ayuda/Puestos.pdf" "Ayuda/Factores.pdf"
    "Ayuda/Riesgos.pdf" "Ayuda/Medidas Preventivas.pdf" "Ayuda/Accion Preventiva.pdf")
for archivo in "${esperados[@]}"; do
    [ -s "$raiz/$archivo" ] || fallo "falta $archivo"
done
for ejecutable in "${ejecutables[@]}"; do
    [ -x "$raiz/$ejecutable" ] || fallo "$ejecutable no es ejecutable tras descomprimir"
    ldd "$raiz/$ejecutable" 2>/dev/null | grep -q "not found" && fallo "a $ejecutable le faltan bibliotecas"
done
sobran=$(cd "$raiz" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${esperados[@]}" | sort))
[ -z "$sobran" ] || fallo "el paquete lleva archivos que no son del programa: $(tr '\n' ' ' <<<"$sobran")"

# La base es la entregada, sin las empresas del usuario.
cmp -s "$raiz/Evaluacion.mdb" "$entrega/Evaluacion.mdb" || fallo "Evaluacion.mdb no es la base entregada"
cmp -s "$raiz/SYSTEM.mdw" "$entrega/SYSTEM.mdw" || fallo "SYSTEM.mdw no es el entregado"
cmp -s "$raiz/Catalogo.mdb" "$entrega/Evaluacion.mdb" || fallo "Catalogo.mdb no es la base entregada"
cmp -s "$raiz/Evaluacion.mdb" "$usuario/Evaluacion.mdb" && fallo "el paquete lleva la base del usuario"

# El programa descomprimido funciona desde su nueva carpeta: encuentra su base y sus plantillas,
# y en ella no está el centro del usuario.
if printf '%s\n' "${ejecutables[@]}" | grep -qx ExportarInformes; then
    salida=$(cd "$temporal" && QT_QPA_PLATFORM=offscreen "$raiz/ExportarInformes" --centro 901 --destino "$temporal" 2>&1)
    codigo=$?
    [ "$codigo" -eq 4 ] && grep -q "No existe el centro de trabajo 901" <<<"$salida" ||
        fallo "ExportarInformes descomprimido no lee la base entregada (código $codigo): $salida"
fi

# Un programa incompleto no da paquete, y el anterior queda como estaba.
cp "$paquete" "$temporal/anterior.tar.gz"
rm "$usuario/Ayuda/Riesgos.pdf"
if cmake -DPROGRAMA="$usuario" -DENTREGA="$entrega" -DNOMBRE="$nombre" -DDESTINO="$paquete" \
    "-DEJECUTABLES=$5" -P "$script" >"$temporal/incompleto.log" 2>&1; then
    fallo "se empaqueta un programa sin Ayuda/Riesgos.pdf"
fi
grep -q "Riesgos.pdf" "$temporal/incompleto.log" || fallo "el error no dice qué falta"
cmp -s "$paquete" "$temporal/anterior.tar.gz" || fallo "un intento fallido ha cambiado el paquete anterior"
ls "$temporal/salida" | grep -qv '^paquete.tar.gz$' && fallo "un intento fallido deja archivos de trabajo"

[ "$fallos" -eq 0 ] || exit 1
echo "correcto"
