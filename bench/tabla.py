#!/usr/bin/env python3
"""Junta en una tabla las medidas "accion/nuestro", "accion/ingenuo" y "accion/directo" de uno o
varios archivos JSON de Google Benchmark, con las proporciones entre ellas. Con repeticiones
(--benchmark_repetitions) se toma la mediana de cada medida.

    tabla.py archivo.json...             una tabla
    tabla.py 1x=carpeta 10x=carpeta      una tabla por grupo, lado a lado

Cada grupo ETIQUETA=RUTA[,RUTA...] junta los JSON de sus rutas (archivos o carpetas). Lado a lado se
añade cuánto cambia lo nuestro del primer grupo al último y si en el último cumple los objetivos:
menos de 16 ms, como mucho 3 veces lo directo y como mucho 1,5 veces lo del primer grupo (el coste
de una acción no crece con el tamaño de la base). Sirve igual para comparar antes=... después=...."""
import json
import os
import statistics
import sys

FORMAS = ("nuestro", "ingenuo", "directo")
LIMITE_MS = 16.0
LIMITE_DIRECTO = 3.0
LIMITE_CRECIMIENTO = 1.5


def ms(b):
    escala = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b["real_time"] * escala


def archivos_de(rutas):
    """Los JSON de cada ruta; de una carpeta, todos los suyos en orden de nombre."""
    salida = []
    for ruta in rutas:
        if os.path.isdir(ruta):
            salida += [os.path.join(ruta, n) for n in sorted(os.listdir(ruta)) if n.endswith(".json")]
        else:
            salida.append(ruta)
    return salida


def leer(archivos):
    """Mediana en ms de cada acción y forma, y las acciones en el orden en que salen."""
    filas = {}
    orden = []
    for archivo in archivos:
        with open(archivo, encoding="utf-8") as f:
            texto = f.read()
        # Un programa al que el filtro no dejó nada que medir deja su archivo vacío.
        if not texto.strip():
            continue
        datos = json.loads(texto)
        for b in datos.get("benchmarks", []):
            if b.get("run_type") == "aggregate":
                continue
            partes = b["name"].split("/")
            if len(partes) < 2 or partes[1] not in FORMAS:
                continue
            accion, forma = partes[0], partes[1]
            if accion not in filas:
                filas[accion] = {}
                orden.append(accion)
            filas[accion].setdefault(forma, []).append(ms(b))
    for f in filas.values():
        for forma in f:
            f[forma] = statistics.median(f[forma])
    return filas, orden


def celda(v):
    return "—" if v is None else f"{v:.3f}"


def proporcion(a, b, decimales):
    """a/b, o una raya si falta alguna o b es cero."""
    return "—" if a is None or b is None or b == 0 else f"{a / b:.{decimales}f}x"


def columnas_accion(f, prefijo=""):
    n, i, d = f.get("nuestro"), f.get("ingenuo"), f.get("directo")
    cabecera = [prefijo + c for c in ("nuestro ms", "ingenuo ms", "directo ms", "ingenuo/nuestro", "nuestro/directo")]
    return cabecera, [celda(n), celda(i), celda(d), proporcion(i, n, 0), proporcion(n, d, 1)]


def fuera_de_objetivo(primero, ultimo):
    """Los objetivos que no cumple lo nuestro del último grupo, o "sí" si los cumple todos."""
    n, d, antes = ultimo.get("nuestro"), ultimo.get("directo"), primero.get("nuestro")
    if n is None:
        return "—"
    faltas = []
    if n >= LIMITE_MS:
        faltas.append(f"≥{LIMITE_MS:.0f} ms")
    if d and n / d > LIMITE_DIRECTO:
        faltas.append(f">{LIMITE_DIRECTO:.0f}x directo")
    if antes and n / antes > LIMITE_CRECIMIENTO:
        faltas.append(f"crece {n / antes:.1f}x")
    return ", ".join(faltas) if faltas else "sí"


def imprimir(cabecera, lineas):
    anchos = [max(len(str(x[k])) for x in [cabecera] + lineas) for k in range(len(cabecera))]
    print("| " + " | ".join(c.ljust(a) for c, a in zip(cabecera, anchos)) + " |")
    print("|" + "|".join("-" * (a + 2) for a in anchos) + "|")
    for l in lineas:
        print("| " + " | ".join(c.ljust(a) for c, a in zip(l, anchos)) + " |")


def una_tabla(archivos):
    filas, orden = leer(archivos)
    cabecera = ["Acción"] + columnas_accion({})[0]
    imprimir(cabecera, [[a] + columnas_accion(filas[a])[1] for a in orden])


def lado_a_lado(grupos):
    leidos = [(etiqueta, *leer(archivos_de(rutas))) for etiqueta, rutas in grupos]
    orden = []
    for _, _, o in leidos:
        orden += [a for a in o if a not in orden]
    primera, ultima = leidos[0][0], leidos[-1][0]
    cabecera = ["Acción"]
    for etiqueta, _, _ in leidos:
        cabecera += columnas_accion({}, etiqueta + " ")[0]
    cabecera += [f"nuestro {ultima}/{primera}", f"objetivo en {ultima}"]
    lineas = []
    for accion in orden:
        linea = [accion]
        for _, filas, _ in leidos:
            linea += columnas_accion(filas.get(accion, {}))[1]
        primero, ultimo = leidos[0][1].get(accion, {}), leidos[-1][1].get(accion, {})
        linea += [proporcion(ultimo.get("nuestro"), primero.get("nuestro"), 2), fuera_de_objetivo(primero, ultimo)]
        lineas.append(linea)
    imprimir(cabecera, lineas)


def main(argumentos):
    grupos = [a.split("=", 1) for a in argumentos if "=" in a]
    if not grupos:
        una_tabla(archivos_de(argumentos))
        return 0
    if len(grupos) != len(argumentos):
        print("tabla.py: o todos los argumentos son ETIQUETA=RUTA o ninguno", file=sys.stderr)
        return 2
    lado_a_lado([(etiqueta, rutas.split(",")) for etiqueta, rutas in grupos])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
