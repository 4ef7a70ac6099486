#pragma once

struct sqlite3;

// Las funciones SQL que las plantillas de los informes usan con el mismo nombre y el mismo resultado en
// el archivo y en el servidor, donde el servidor ya las tiene y SQLite no: chr(n), el carácter de ese
// código, y EnteroDeTexto(texto), el número con que empieza un texto ("12 personas" es 12). Además, la
// ordenación "C" (por bytes, la de siempre del archivo), para que un ORDER BY ... COLLATE "C" ordene
// igual en los dos.
void RegistrarFuncionesInformes(sqlite3* bd);
