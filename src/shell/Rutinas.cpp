#include "shell/Rutinas.h"

#include "plataforma/PlataformaServicios.h"
#include "shell/Sesion.h"
#include "store/Recordset.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMdiSubWindow>
#include <QTextDocumentFragment>
#include <QWidget>

#include <cmath>

namespace {
bool esNulo(const QVariant& valor)
{
    return !valor.isValid() || valor.isNull();
}

// Texto que se lee en la etiqueta; una que sólo lleva una imagen no tiene.
bool conTexto(const QLabel* etiqueta)
{
    const QString texto = etiqueta->text();
    if (etiqueta->textFormat() == Qt::PlainText ||
        (etiqueta->textFormat() == Qt::AutoText && !Qt::mightBeRichText(texto)))
        return !texto.trimmed().isEmpty();
    return !QTextDocumentFragment::fromHtml(texto)
                .toPlainText()
                .remove(QChar::ObjectReplacementCharacter)
                .trimmed()
                .isEmpty();
}

QString sinAceleradores(QString texto)
{
    texto.replace(QLatin1String("&&"), QLatin1String("\x01"));
    texto.remove(QLatin1Char('&'));
    texto.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return texto.simplified();
}
} // namespace

QVariant NuloATexto(const QVariant& valor)
{
    return esNulo(valor) ? QVariant(QString()) : valor;
}

QVariant NuloACero(const QVariant& valor)
{
    if (esNulo(valor))
        return QVariant(0);
    if (valor.typeId() == QMetaType::QString && valor.toString().isEmpty())
        return QVariant(0);
    return valor;
}

QString RellenarCeros(double numero, double anchura)
{
    // Como el texto decimal de siempre: sin blancos delante y sin ceros de más.
    const QString texto = QString::number(numero, 'g', 15);
    if (texto.size() > anchura)
        return QString();
    const int ancho = static_cast<int>(std::nearbyint(anchura));
    QString resultado(ancho, QLatin1Char('0'));
    resultado.replace(ancho - texto.size(), texto.size(), texto);
    return resultado;
}

QString FormatoMiles(long long numero)
{
    if (numero == 0)
        return QString();
    // Se agrupa a mano cada tres cifras: el castellano de CLDR no agrupa los números de cuatro
    // cifras y el contador siempre lo ha hecho ("1.250").
    const QString separador = QLocale().groupSeparator();
    const QString cifras = QString::number(numero < 0 ? -numero : numero);
    QString resultado;
    for (int i = 0; i < cifras.size(); ++i) {
        if (i > 0 && (cifras.size() - i) % 3 == 0)
            resultado += separador;
        resultado += cifras.at(i);
    }
    return numero < 0 ? QLatin1Char('-') + resultado : resultado;
}

QString TextoContador(long long posicion, long long total)
{
    if (total == 0)
        return QStringLiteral("0 de 0");
    return FormatoMiles(posicion) + QStringLiteral(" de ") + FormatoMiles(total);
}

void MostrarContador(QLabel* etiqueta, long long posicion, long long total)
{
    if (etiqueta)
        etiqueta->setText(TextoContador(posicion, total));
}

void MostrarContador(QLabel* etiqueta, Recordset& registros)
{
    MostrarContador(etiqueta, registros.absolutePosition(), registros.recordCount());
}

void AbrirAyuda(QWidget* ventana, const QString& documento)
{
    Servicios().abrirDocumento(ventana, RutaEnPrograma(QStringLiteral("Ayuda/") + documento + QStringLiteral(".pdf")));
}

void ColocarEnTwips(QWidget* ventana, double izquierda, double arriba, double ancho, double alto)
{
    if (!ventana)
        return;
    const QRect geometria(TwipsAPixeles(izquierda, ventana), TwipsAPixeles(arriba, ventana),
                          TwipsAPixeles(ancho, ventana), TwipsAPixeles(alto, ventana));
    const QString clave = ventana->property("claveTamano").toString();
    RecordarTamano(ventana, clave.isEmpty() ? ventana->objectName() : clave);
    if (auto* marco = qobject_cast<QMdiSubWindow*>(ventana->parentWidget())) {
        marco->setGeometry(geometria);
        return;
    }
    // Aún no está dentro del área MDI (se coloca mientras se carga): el registro de ventanas
    // aplicará esta geometría a su marco al meterla en el área.
    ventana->setProperty("geometriaInicial", geometria);
    ventana->resize(geometria.size());
}

void AplicarAccesibilidad(QWidget* raiz)
{
    if (!raiz)
        return;
    const bool conIds = qEnvironmentVariable("EVALUACION_IDS_ACCESIBLES") == QLatin1String("1");
    QList<QWidget*> widgets = raiz->findChildren<QWidget*>();
    widgets.prepend(raiz);

    // Primero las etiquetas dan nombre a sus compañeros: es el texto que el usuario lee al lado.
    for (QWidget* w : widgets)
        if (auto* etiqueta = qobject_cast<QLabel*>(w);
            etiqueta && etiqueta->buddy() && etiqueta->buddy()->accessibleName().isEmpty())
            etiqueta->buddy()->setAccessibleName(sinAceleradores(etiqueta->text()));

    for (QWidget* w : widgets) {
        auto* etiqueta = qobject_cast<QLabel*>(w);
        // Una etiqueta con texto se queda sin nombre fijo: Qt da como nombre el texto del momento
        // y avisa al lector de pantalla cuando cambia. Uno fijo dejaría oír "0 de 0" en un
        // contador que ya dice otra cosa.
        if (w->accessibleName().isEmpty() && !(etiqueta && conTexto(etiqueta))) {
            QString nombre;
            if (auto* boton = qobject_cast<QAbstractButton*>(w))
                nombre = sinAceleradores(boton->text());
            else if (auto* grupo = qobject_cast<QGroupBox*>(w))
                nombre = sinAceleradores(grupo->title());
            if (nombre.isEmpty())
                nombre = w->toolTip();
            if (nombre.isEmpty() && w->isWindow())
                nombre = w->windowTitle();
            if (!nombre.isEmpty())
                w->setAccessibleName(nombre);
        }
        if (conIds && !w->objectName().isEmpty())
            w->setAccessibleDescription(w->objectName());
    }
}

void GrabarFila(Recordset& registros)
{
    try {
        registros.update();
    } catch (...) {
        registros.cancelUpdate();
        throw;
    }
}

void AbrirCentroEnCurso(Recordset& centro, const Sesion& sesion)
{
    centro.open(QStringLiteral("Select * from CentroTrabajo where IDCentro = ?;"), sesion.conexion,
                {qlonglong(sesion.idCentro)});
    centro.requery();
}
