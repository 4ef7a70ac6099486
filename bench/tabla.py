#!/usr/bin/env python3
"""Junta en una tabla las medidas "accion/nuestro", "accion/ingenuo" y "accion/directo" de uno o
varios archivos JSON de Google Benchmark, con las proporciones entre ellas. Con repeticiones
(--benchmark_repetitions) se toma la mediana de cada medida."""
import json
import statistics
import sys


def ms(b):
    escala = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    return b["real_time"] * escala


def main(archivos):
    filas = {}
    orden = []
    for archivo in archivos:
        with open(archivo, encoding="utf-8") as f:
            datos = json.load(f)
        for b in datos.get("benchmarks", []):
            if b.get("run_type") == "aggregate":
                continue
            partes = b["name"].split("/")
            if len(partes) < 2 or partes[1] not in ("nuestro", "ingenuo", "directo"):
                continue
            accion, forma = partes[0], partes[1]
            if accion not in filas:
                filas[accion] = {}
                orden.append(accion)
            filas[accion].setdefault(forma, []).append(ms(b))
    for f in filas.values():
        for forma in f:
            f[forma] = statistics.median(f[forma])

    def celda(v):
        return "—" if v is None else f"{v:.3f}"

    cabecera = ("Acción", "nuestro ms", "ingenuo ms", "directo ms", "ingenuo/nuestro", "nuestro/directo")
    lineas = []
    for accion in orden:
        f = filas[accion]
        n, i, d = f.get("nuestro"), f.get("ingenuo"), f.get("directo")
        lineas.append((accion, celda(n), celda(i), celda(d),
                       "—" if n is None or i is None or n == 0 else f"{i / n:.0f}x",
                       "—" if n is None or d is None or d == 0 else f"{n / d:.1f}x"))
    anchos = [max(len(str(x[k])) for x in [cabecera] + lineas) for k in range(len(cabecera))]
    print("| " + " | ".join(c.ljust(a) for c, a in zip(cabecera, anchos)) + " |")
    print("|" + "|".join("-" * (a + 2) for a in anchos) + "|")
    for l in lineas:
        print("| " + " | ".join(c.ljust(a) for c, a in zip(l, anchos)) + " |")


if __name__ == "__main__":
    main(sys.argv[1:])
