#include "evaluation/SeleccionaFactores.h"

#include "evaluation/GeneracionRiesgos.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/Comprobaciones.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/grid/DataSource.h"
#include "shell/grid/Grid.h"
#include "store/ErrorBD.h"
#include "store/Recordset.h"

#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
using namespace TiposAviso;

constexpr int ColumnaMarca = 1;
} // namespace

SeleccionaFactores::SeleccionaFactores(Sesion& sesion, QWidget* parent)
    : VentanaAsistente(Ventana::SeleccionaFactores, sesion, QStringLiteral("Factores de Riesgo"),
                       QStringLiteral("2- FACTORES DE RIESGO"), parent)
{
    ponerListaPuestos();

    botonHabituales_ = Kit::boton("BHabituales", QStringLiteral("Marcar los habituales del puesto"));
    botonHabituales_->setToolTip(
        QStringLiteral("Marca los factores que suele tener este puesto según el catálogo, tras enseñarlos"));
    botonHabituales_->setAccessibleName(QStringLiteral("Marcar los habituales del puesto"));
    botonHabituales_->setEnabled(false); // hasta que se elija un puesto
    cuerpo()->addWidget(botonHabituales_, 0, Qt::AlignLeft);
    connect(botonHabituales_, &QPushButton::clicked, this, Ranura([this] { marcarHabituales(); }, this));

    // El nombre del factor es el del catálogo: sólo se marca o se desmarca.
    GridColumn factor = GridColumn::text("Factores de Riesgo", "Factor");
    factor.readOnly = true;
    cuadriculaFactores_ = ponerCuadricula("GFactores", "RFactores", "Factores de riesgo del puesto",
                                          {factor, GridColumn::checkBox("Seleccionado", "FactorSelecionado")}, 9);
    origenFactores_ = cuadriculaFactores_->dataSource();
    // 135 factores: se buscan por sus palabras.
    ponerFiltro(cuadriculaFactores_, "txtBuscarFactor");

    ponerPie(Ventana::Puestos, QStringLiteral("Volver a puestos"), {}, QStringLiteral("Evaluacion de Riesgos"), {},
             QStringLiteral("Volver al Menu Principal"), QStringLiteral("Factores"));
    // En este paso el botón de vuelta al inicio se llama como siempre se ha llamado aquí.
    if (auto* salir = findChild<QToolButton*>("Image1"))
        salir->setObjectName("cmdSalir");
    cargar();
}

void SeleccionaFactores::elegirPuesto(long long)
{
    // Sin el puesto o sin el centro (borrados mientras tanto) la cuadrícula queda vacía.
    const bool hayPuesto = rsPuesto_ && !rsPuesto_->eof() && rsCentro_ && !rsCentro_->eof();
    const qlonglong puesto = hayPuesto ? rsPuesto_->value("IDPuestoCentro").toLongLong() : 0;
    const qlonglong empresa = hayPuesto ? rsCentro_->value("IDEmpresa").toLongLong() : 0;
    origenFactores_->setRecordSource(
        "SELECT * from FactoresSeleccionarEvaluacion Where IDCentro = ? and IDPuestoCentro = ? and IDEmpresa = ?;",
        {qlonglong(sesion_.idCentro), puesto, empresa});
    origenFactores_->refresh();
    cuadriculaFactores_->redraw();
    botonHabituales_->setEnabled(hayPuesto);
}

// La casilla de un factor. El cambio sólo se acepta cuando lo generado o quitado y la marca ya
// están guardados juntos; si algo falla, la casilla vuelve a lo que hay en la base de datos.
void SeleccionaFactores::antesDeCambiar(int columna, const QVariant& nuevo, bool* cancelar)
{
    if (columna != ColumnaMarca)
        return;
    try {
        Recordset& rs = origenFactores_->recordset();
        const long long k = rs.value("IDEvaluacionCrear").toLongLong();
        if (nuevo.toString() == MarcaSi) {
            FilaFactor fila;
            fila.idEvaluacionCrear = k;
            fila.idFactor = rs.value("IDFactor").toLongLong();
            fila.idPuestoCentro = rsPuesto_->value("IDPuestoCentro").toLongLong();
            fila.idEmpresa = rsCentro_->value("IDEmpresa").toLongLong();
            fila.idCentro = sesion_.idCentro;
            MarcarFactor(sesion_.conexion, fila);
            cuadriculaFactores_->setCellValue(ColumnaMarca, MarcaSi);
            return;
        }
        const Respuesta r = Servicios().mensaje(
            this,
            QStringLiteral(
                "Se dispone a quitar un factor de riesgo, implica tambien la eliminación del riesgo evaluado. "
                "¿Confirma la Eliminacion?"),
            QStringLiteral("Eliminar"), Icono::Critico, Botones::SiNo, Respuesta::No);
        if (r != Respuesta::Si) {
            // Sigue marcado y no se borra nada.
            *cancelar = true;
            return;
        }
        DesmarcarFactor(sesion_.conexion, k);
        cuadriculaFactores_->setCellValue(ColumnaMarca, MarcaNo);
    } catch (const ProgramaTerminado&) {
        throw;
    } catch (const ErrorBD& e) {
        tratarFallo(e.numero(), e.descripcion(), cancelar);
    } catch (const std::exception& e) {
        tratarFallo(NumeroError::ErrorGeneral, QString::fromLocal8Bit(e.what()), cancelar);
    }
}

void SeleccionaFactores::tratarFallo(long numero, const QString& descripcion, bool* cancelar)
{
    if (numero == NumeroError::BaseDanada)
        OfrecerReparacion(this);
    MostrarErrorGeneral(numero, descripcion, this);
    // Lo generado o quitado se ha deshecho con la marca: la casilla enseña lo que hay guardado.
    *cancelar = true;
    if (numero == NumeroError::OperacionVariosPasos) {
        origenFactores_->refresh();
        cuadriculaFactores_->redraw();
    }
}

void SeleccionaFactores::marcarHabituales()
{
    if (!rsPuesto_ || rsPuesto_->eof() || !origenFactores_->isOpen())
        return;
    const QString puesto = NuloATexto(rsPuesto_->value("Puesto")).toString().trimmed();
    Recordset catalogo;
    catalogo.open("SELECT IDPuesto FROM Puestos WHERE lower(Puesto) = lower(?) ORDER BY IDPuesto", sesion_.conexion,
                  {puesto});
    if (catalogo.eof()) {
        Servicios().mensaje(this,
                            QStringLiteral("El puesto «%1» no se llama como ninguno de los puestos del catálogo, así "
                                           "que no tiene factores habituales. Marque sus factores uno a uno.")
                                .arg(puesto),
                            QStringLiteral("Factores habituales"), Icono::Informacion, Botones::Aceptar,
                            Respuesta::Aceptar);
        return;
    }
    // Los de la lista de este puesto que aún no están marcados, en el orden de la cuadrícula.
    Recordset habituales;
    habituales.open("SELECT s.IDEvaluacionCrear, s.Factor FROM FactoresSeleccionarEvaluacion s "
                    "JOIN FactoresHabituales h ON h.IDFactor = s.IDFactor AND h.IDPuesto = ? "
                    "WHERE s.IDPuestoCentro = ? AND coalesce(s.FactorSelecionado, '') <> 'S' "
                    "ORDER BY s.IDEvaluacionCrear",
                    sesion_.conexion, {catalogo.value(0), rsPuesto_->value("IDPuestoCentro")});
    QList<long long> filas;
    QStringList nombres;
    for (; !habituales.eof(); habituales.moveNext()) {
        filas << habituales.value(0).toLongLong();
        nombres << QStringLiteral("- ") + NuloATexto(habituales.value(1)).toString();
    }
    if (filas.isEmpty()) {
        Servicios().mensaje(
            this, QStringLiteral("Los factores habituales del puesto «%1» ya están marcados.").arg(puesto),
            QStringLiteral("Factores habituales"), Icono::Informacion, Botones::Aceptar, Respuesta::Aceptar);
        return;
    }
    const Respuesta r =
        Servicios().mensaje(this,
                            QStringLiteral("Se van a marcar estos %1 factores habituales del puesto «%2», con sus "
                                           "riesgos y medidas:\n\n%3\n\n¿Desea marcarlos?")
                                .arg(filas.size())
                                .arg(puesto, nombres.join('\n')),
                            QStringLiteral("Factores habituales"), Icono::Pregunta, Botones::SiNo, Respuesta::No);
    if (r != Respuesta::Si)
        return;
    // Casilla a casilla, por el mismo camino que un clic: cada una con su aviso previo, su
    // generación y su escritura. Al primer fallo (ya avisado) se para.
    origenFactores_->fetchAll();
    for (const long long k : filas) {
        int fila = -1;
        for (int f = 0; f < origenFactores_->rowCount() && fila < 0; ++f)
            if (origenFactores_->fieldValue(f, "IDEvaluacionCrear").toLongLong() == k)
                fila = f;
        if (fila < 0 || !origenFactores_->setData(origenFactores_->index(fila, ColumnaMarca), MarcaSi, Qt::EditRole))
            break;
    }
    cuadriculaFactores_->redraw();
}

void SeleccionaFactores::nota(int division, int columna, int fila, CellTip* tip)
{
    if (division < 0 || fila < 0 || columna != 0)
        return;
    tip->text = "Factor del riesgo: " + NuloATexto(origenFactores_->recordset().value("Factor")).toString();
    Kit::estiloNota(tip);
}

void SeleccionaFactores::adelante()
{
    if (pasoCompleto(ComprobarFactores, QStringLiteral("Sin Factores")))
        irA(Ventana::SeleccionaRiesgos);
}
