#!/usr/bin/env python3
"""La tabla de las medidas: lado a lado junta cada acción de los dos tamaños en su fila y dice qué
objetivos no cumple; una medida que falta o un archivo vacío no la rompen."""
import contextlib
import io
import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tabla  # noqa: E402


def medida(nombre, ms, tipo="iteration"):
    return {"name": nombre, "run_type": tipo, "real_time": ms * 1000.0, "time_unit": "us"}


class Tabla(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def escribir(self, carpeta, nombre, medidas):
        os.makedirs(os.path.join(self.dir.name, carpeta), exist_ok=True)
        ruta = os.path.join(self.dir.name, carpeta, nombre)
        with open(ruta, "w", encoding="utf-8") as f:
            f.write("" if medidas is None else json.dumps({"benchmarks": medidas}))
        return ruta

    def salida(self, argumentos):
        texto = io.StringIO()
        with contextlib.redirect_stdout(texto):
            codigo = tabla.main(argumentos)
        return codigo, texto.getvalue().splitlines()

    def filas(self, lineas):
        return {l.split("|")[1].strip(): [c.strip() for c in l.split("|")[2:-1]] for l in lineas[2:]}

    def test_lado_a_lado(self):
        self.escribir("1", "bench_escala.json", [
            medida("Marcar una medida/nuestro", 2.0), medida("Marcar una medida/directo", 1.0),
            medida("Evaluar un riesgo/nuestro", 1.0), medida("Evaluar un riesgo/nuestro", 9.0),
            medida("Evaluar un riesgo/nuestro", 3.0), medida("Evaluar un riesgo/nuestro_mean", 50.0, "aggregate"),
            medida("Abrir Empresa/nuestro", 4.0)])
        # Un programa al que el filtro no dejó nada deja su archivo vacío.
        self.escribir("1", "bench_medidas.json", None)
        self.escribir("10", "bench_escala.json", [
            medida("Marcar una medida/nuestro", 20.0), medida("Marcar una medida/directo", 2.0),
            medida("Evaluar un riesgo/nuestro", 3.3), medida("Compactar la base/nuestro", 900.0)])
        codigo, lineas = self.salida([f"1x={self.dir.name}/1", f"10x={self.dir.name}/10"])
        self.assertEqual(codigo, 0)
        cabecera = [c.strip() for c in lineas[0].split("|")[1:-1]]
        self.assertEqual(cabecera[1], "1x nuestro ms")
        self.assertEqual(cabecera[6], "10x nuestro ms")
        self.assertEqual(cabecera[-2:], ["nuestro 10x/1x", "objetivo en 10x"])
        filas = self.filas(lineas)
        self.assertEqual(list(filas), ["Marcar una medida", "Evaluar un riesgo", "Abrir Empresa", "Compactar la base"])
        # Mediana de las vueltas, sin los agregados; lo que sólo está en un tamaño tiene rayas en el otro.
        self.assertEqual(filas["Evaluar un riesgo"][0], "3.000")
        self.assertEqual(filas["Evaluar un riesgo"][-2:], ["1.10x", "sí"])
        self.assertEqual(filas["Marcar una medida"][-2:], ["10.00x", "≥16 ms, >3x directo, crece 10.0x"])
        self.assertEqual(filas["Abrir Empresa"][5:10], ["—"] * 5)
        self.assertEqual(filas["Abrir Empresa"][-2:], ["—", "—"])
        self.assertEqual(filas["Compactar la base"][0], "—")
        self.assertEqual(filas["Compactar la base"][-2:], ["—", "≥16 ms"])

    def test_una_tabla_como_siempre(self):
        ruta = self.escribir("1", "a.json", [
            medida("Añadir un puesto/nuestro", 2.0), medida("Añadir un puesto/ingenuo", 300.0),
            medida("Añadir un puesto/directo", 1.0), medida("AltaEnEvaluacion/10", 1.0)])
        codigo, lineas = self.salida([os.path.dirname(ruta)])
        self.assertEqual(codigo, 0)
        self.assertEqual([c.strip() for c in lineas[0].split("|")[1:-1]],
                         ["Acción", "nuestro ms", "ingenuo ms", "directo ms", "ingenuo/nuestro", "nuestro/directo"])
        self.assertEqual(self.filas(lineas), {"Añadir un puesto": ["2.000", "300.000", "1.000", "150x", "2.0x"]})

    def test_argumentos_mezclados(self):
        ruta = self.escribir("1", "a.json", [])
        with contextlib.redirect_stderr(io.StringIO()):
            self.assertEqual(self.salida([ruta, f"10x={ruta}"])[0], 2)


if __name__ == "__main__":
    unittest.main()
