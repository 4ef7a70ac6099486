#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// Plantilla de informe de la carpeta Informes: un archivo de texto con directivas al principio de
// línea y la maquetación HTML (Mustache) al final.
//
//   # comentario
//   @titulo     Evaluación de riesgos laborales
//   @cabecera   {{titulo}} | {{#centro}}{{Direccion}}{{/centro}}
//   @pie        {{#empresa}}{{Nombre}}{{/empresa}} | Página {{pagina}} de {{paginas}}
//   @archivo    Evaluación de riesgos - {{#centro}}{{Direccion}}{{/centro}}
//   @marca      {{#centro}}{{#si_borrador}}BORRADOR{{/si_borrador}}{{/centro}}
//   @comun      (tablas con nombre que ven todas las consultas: lo que va tras WITH)
//   @consulta centro
//   SELECT ... WHERE c.IDCentro = {CentroTrabajo.IDCentro}
//   @consulta riesgos en puestos por IDPuestoCentro
//   SELECT ...
//   @total lineas.PresupuestoAproximado presupuesto
//   @html
//   <h1>{{titulo}}</h1> ... hasta el final del archivo
//
// En las consultas, {Tabla.Campo} es el valor que da la fórmula de selección para ese campo,
// siempre enlazado; si la fórmula no lo nombra vale NULL. {hoy} es el día del reloj del programa
// ('aaaa-mm-dd', el mismo día que {{fecha}}), también enlazado, y {huella} la huella de la evaluación del
// centro que da {CentroTrabajo.IDCentro} (la que guarda cada versión emitida). Las consultas se leen en
// el archivo y en el servidor: se escriben con lo que entienden los dos (las funciones que el programa
// añade a cada uno están en FuncionesInformes y FuncionesInformesServidor). Una consulta "en <padre> por <campos>"
// se lee una sola vez y cada fila se cuelga de las filas del padre con los mismos valores en esos
// campos. Una columna cuyo nombre empieza por "si_" es una condición para {{#si_...}}: cierta si
// no es nula, vacía, 0 ni "N". Cada fila lleva además "n", su número dentro de
// su lista, "primera", cierta en la primera, y "ultima", cierta en la última. La cabecera y el pie tienen una parte
// izquierda y otra derecha separadas por "|"; en ellas "[[seccion]]" es el apartado en curso de cada hoja. La marca,
// con los mismos datos, se pinta en diagonal en todas las hojas cuando no queda vacía.
struct ConsultaPlantilla
{
    QString nombre;
    QString padre;      // vacío: lista de la raíz
    QStringList claves; // campos que unen cada fila con su padre
    QString sql;        // con las marcas {Tabla.Campo} tal cual
};

struct TotalPlantilla
{
    QString consulta;
    QString campo;
    QString nombre;
};

struct PlantillaInforme
{
    QString titulo;
    QString cabecera;
    QString pie;
    QString archivo; // nombre propuesto para guardar el documento
    QString marca;   // texto en diagonal de todas las hojas (borrador)
    QString comun;
    std::vector<ConsultaPlantilla> consultas;
    std::vector<TotalPlantilla> totales;
    QString html;

    // Lee una plantilla. Lanza ErrorBD con la línea del fallo si el archivo falta o está mal.
    static PlantillaInforme leer(const QString& ruta);
    static PlantillaInforme analizar(const QString& texto);
};
