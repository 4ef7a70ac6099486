// Capturas de las ventanas del programa para los documentos de ayuda, sobre una copia de la base
// entregada con una empresa de ejemplo. Se pasa bajo una pantalla virtual:
//     xvfb-run -a -s "-screen 0 1280x900x24" capturas_ayuda <carpeta entrega> <carpeta imágenes>
// Deja presentacion.png, presentacion2.png, botones_entrada.png, entrada.png (con la ventana de
// empresas abierta), empresa.png, inicio_evaluacion.png, puestos.png, factores.png, riesgos.png,
// medidas.png y
// actuacion_preventiva.png.
#include "app/VentanasPrograma.h"
#include "companies/Empresa.h"
#include "evaluation/DatosPuesto.h"
#include "evaluation/GeneracionRiesgos.h"
#include "evaluation/InicioEvaluacion.h"
#include "evaluation/Puestos.h"
#include "evaluation/SeleccionaFactores.h"
#include "evaluation/SeleccionaMedidas.h"
#include "evaluation/SeleccionaRiesgos.h"
#include "planning/ActuacionPreventiva.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/Entrada.h"
#include "shell/Presentation.h"
#include "shell/Presentation2.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "store/Conexion.h"
#include "store/Recordset.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {
void esperar(int ms)
{
    for (int i = 0; i < ms / 10; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

bool guardar(QWidget* w, const QString& ruta)
{
    esperar(300);
    const bool bien = w && w->grab().save(ruta);
    std::printf("%s %s\n", bien ? "capturada" : "NO capturada", ruta.toLocal8Bit().constData());
    return bien;
}

QWidget* marcoDe(QWidget* ventana)
{
    auto* marco = ventana ? qobject_cast<QMdiSubWindow*>(ventana->parentWidget()) : nullptr;
    return marco ? static_cast<QWidget*>(marco) : ventana;
}

long long insertar(const QString& conexion, const QString& sql, const QVariantList& valores)
{
    Conexion::obtener(conexion)->ejecutar(sql, valores);
    Recordset rs;
    rs.open("SELECT last_insert_rowid()", conexion);
    return rs.value(0).toLongLong();
}

// Una ferretería con un centro, dos puestos y algún factor marcado: el inicio de la evaluación
// muestra los tres primeros pasos disponibles.
void datosDeEjemplo(const QString& conexion)
{
    const long long empresa =
        insertar(conexion,
                 "INSERT INTO Empresas (Nombre, CIF, Direccion, Poblacion, CodPostal, Provincia, Persona, Cargo, "
                 "Formacion, TotalTrabajadores) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                 {"Ferretería La Llave, S.L.", "B12345678", "Calle Mayor, 12", "Alcalá de Henares", "28801", "Madrid",
                  "Ana Martín López", "Empresario", "Técnico con curso básico en PRL", 4});
    const long long centro =
        insertar(conexion,
                 "INSERT INTO CentroTrabajo (IDEmpresa, NombreCentro, Direccion, Poblacion, CodPostal, Provincia) "
                 "VALUES (?, ?, ?, ?, ?, ?)",
                 {empresa, "Tienda Calle Mayor, 12", "Tienda Calle Mayor, 12", "Alcalá de Henares", "28801", "Madrid"});
    const QStringList puestos = {"Dependiente/a de ferretería", "Mozo/a de almacén"};
    const QList<int> factores = {6, 9};
    for (int i = 0; i < puestos.size(); ++i) {
        NuevoPuesto p;
        p.idCentro = centro;
        p.idEmpresa = empresa;
        p.puesto = puestos[i];
        p.descripcion = QStringLiteral("Atiende el mostrador y repone el género.");
        p.trabajadores = QStringLiteral("2");
        p.sensibles = QStringLiteral("No existe personal sensible");
        const long long id = AnadirPuestoConFactores(conexion, p);
        Recordset fila;
        fila.open("SELECT IDEvaluacionCrear FROM FactoresSeleccionarEvaluacion WHERE IDPuestoCentro = ? AND "
                  "IDFactor = ?",
                  conexion, {id, factores[i]});
        if (!fila.eof())
            MarcarFactor(conexion, {fila.value(0).toLongLong(), factores[i], id, empresa, centro});
    }
    // Un par de riesgos ya valorados, para que la captura muestre la matriz en uso.
    Conexion::obtener(conexion)->ejecutar(
        "UPDATE Evaluacion SET Probabilidad = 'Media', Consecuencias = 'Dañino', ValorRiesgo = 'Riesgo Moderado' "
        "WHERE IDEvaluacion IN (SELECT IDEvaluacion FROM Evaluacion WHERE Mostrar = 'S' ORDER BY IDEvaluacion "
        "LIMIT 2)",
        {});
    // El plan del centro con dos acciones.
    const long long plan =
        insertar(conexion, "INSERT INTO \"ActuaciónPreventiva\" (IDCentro, Persona, Cargo, Fecha) VALUES (?, ?, ?, ?)",
                 {centro, "Ana Martín López", "Empresario", QDate(2025, 3, 3)});
    const char* acciones[][3] = {
        {"Comprar una escalera de tijera con plataforma y barandilla", "Ana Martín López", "120"},
        {"Formar al personal en el manejo manual de cargas", "Servicio de prevención", "300"}};
    int mes = 4;
    for (const auto& a : acciones)
        insertar(
            conexion,
            "INSERT INTO \"ActuaciónPreventivaRegistro\" (IDActuacion, AccionPreventiva, FechaLimite, "
            "ResponsableEjecucion, PresupuestoAproximado) VALUES (?, ?, ?, ?, ?)",
            {plan, QString::fromUtf8(a[0]), QDate(2025, mes++, 30), QString::fromUtf8(a[1]), QString::fromUtf8(a[2])});
}

QAbstractButton* boton(QWidget* ventana, const char* nombre)
{
    return ventana ? ventana->findChild<QAbstractButton*>(nombre) : nullptr;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication aplicacion(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Evaluacion"));
    CargarTraduccionEspanola(aplicacion);
    const QStringList args = aplicacion.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "Uso: capturas_ayuda <carpeta de la base entregada> <carpeta de las imágenes>\n");
        return 2;
    }
    const QDir entrega(args[1]), imagenes(args[2]);
    QTemporaryDir carpeta;
    for (const char* nombre : {"Evaluacion.mdb", "SYSTEM.mdw"})
        QFile::copy(entrega.filePath(nombre), QDir(carpeta.path()).filePath(nombre));
    FijarCarpetaPrograma(carpeta.path());
    ServiciosReales servicios;
    FijarServicios(&servicios);
    RegistrarVentanasDelPrograma();

    bool bien = true;
    {
        auto* p = new Presentation(3600000);
        bien &= guardar(p, imagenes.filePath("presentacion.png"));
        delete p;
        auto* p2 = new Presentation2(3600000);
        bien &= guardar(p2, imagenes.filePath("presentacion2.png"));
        delete p2;
    }

    auto* entrada = new Entrada;
    entrada->resize(1180, 760);
    entrada->move(0, 0);
    entrada->show();
    datosDeEjemplo(entrada->sesion().conexion);
    bien &= guardar(entrada->findChild<QWidget*>("SSPanel2"), imagenes.filePath("botones_entrada.png"));

    entrada->findChild<QAbstractButton*>("SSCommand1")->click();
    QWidget* empresa = entrada->findChild<QWidget*>("Empresa");
    bien &= guardar(marcoDe(empresa), imagenes.filePath("empresa.png"));
    bien &= guardar(entrada, imagenes.filePath("entrada.png"));

    if (empresa)
        empresa->findChild<QAbstractButton*>("CEvaluacion")->click();
    QWidget* inicio = entrada->findChild<QWidget*>("InicioEvaluacion");
    bien &= guardar(marcoDe(inicio), imagenes.filePath("inicio_evaluacion.png"));

    // Los pasos del asistente, cada uno abierto con su botón como lo haría el usuario.
    if (auto* b = boton(inicio, "CEvaluacion"))
        b->click();
    QWidget* puestos = entrada->findChild<QWidget*>(NombreVentana(Ventana::Puestos));
    bien &= guardar(marcoDe(puestos), imagenes.filePath("puestos.png"));
    if (auto* b = boton(puestos, "Picture2"))
        b->click();
    QWidget* factores = entrada->findChild<QWidget*>(NombreVentana(Ventana::SeleccionaFactores));
    bien &= guardar(marcoDe(factores), imagenes.filePath("factores.png"));
    if (auto* b = boton(factores, "Picture2"))
        b->click();
    bien &= guardar(marcoDe(entrada->findChild<QWidget*>(NombreVentana(Ventana::SeleccionaRiesgos))),
                    imagenes.filePath("riesgos.png"));
    // Las medidas se abren desde el registro: el botón de la evaluación pide todos los riesgos valorados.
    if (RegistroVentanas* registro = RegistroVentanas::actual())
        registro->abrirNueva(Ventana::SeleccionaMedidas);
    bien &= guardar(marcoDe(entrada->findChild<QWidget*>(QStringLiteral("SeleccionaMedidas"))),
                    imagenes.filePath("medidas.png"));

    if (auto* b = boton(empresa, "CPlanificacion"))
        b->click();
    QWidget* plan = entrada->findChild<QWidget*>(NombreVentana(Ventana::ActuacionPreventiva));
    if (plan)
        marcoDe(plan)->raise();
    bien &= guardar(marcoDe(plan), imagenes.filePath("actuacion_preventiva.png"));
    Conexion::cerrarTodas();
    std::fflush(nullptr);
    std::_Exit(bien ? 0 : 1);
}
