#include "shell/OrigenDatos.h"

#include "plataforma/CarpetaPrograma.h"
#include "plataforma/ClavesServidor.h"
#include "plataforma/OrigenGuardado.h"
#include "plataforma/PlataformaServicios.h"
#include "shell/KitControles.h"
#include "shell/ManejadorErrores.h"
#include "shell/RegistroVentanas.h"
#include "shell/Rutinas.h"
#include "shell/Sesion.h"
#include "store/Conexion.h"
#include "store/postgres/ConexionPg.h"
#include "store/postgres/CopiaArchivo.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

namespace {
using Icono = PlataformaServicios::Icono;
using Botones = PlataformaServicios::Botones;
using Respuesta = PlataformaServicios::Respuesta;

const QString AvisoProximaVez = QStringLiteral("El cambio se aplica la próxima vez que se abra el programa.");
} // namespace

OrigenDatos::OrigenDatos(Sesion& sesion, QWidget* parent) : QWidget(parent), sesion_(sesion)
{
    setObjectName(NombreVentana(Ventana::OrigenDatos));
    setAttribute(Qt::WA_DeleteOnClose);
    construir();
    cargar();
    AplicarAccesibilidad(this);
}

OrigenDatos::~OrigenDatos()
{
    // La prueba no puede seguir usando nada de la ventana; como mucho tarda su espera.
    if (prueba_)
        prueba_->wait();
}

void OrigenDatos::construir()
{
    setWindowTitle(Titulo);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(10, 10, 10, 10);
    v->addWidget(Kit::banner(QStringLiteral("LabelTitulo"), QStringLiteral("ORIGEN DE DATOS")));

    archivo_ = new QRadioButton(QStringLiteral("&Archivo de la carpeta del programa (Evaluacion.mdb)"));
    archivo_->setObjectName(QStringLiteral("OArchivo"));
    servidor_ = new QRadioButton(QStringLiteral("Servidor &PostgreSQL, compartido por varios técnicos"));
    servidor_->setObjectName(QStringLiteral("OServidor"));
    auto* grupo = new QButtonGroup(this);
    grupo->addButton(archivo_);
    grupo->addButton(servidor_);
    v->addWidget(archivo_);
    v->addWidget(servidor_);

    equipo_ = Kit::caja(QStringLiteral("TServidor"));
    puerto_ = Kit::caja(QStringLiteral("TPuerto"), 5);
    // Sólo cifras; que esté entre 1 y 65535 se comprueba al probar o guardar, con su aviso.
    puerto_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), puerto_));
    base_ = Kit::caja(QStringLiteral("TBase"));
    usuario_ = Kit::caja(QStringLiteral("TUsuario"));
    clave_ = Kit::caja(QStringLiteral("TClave"));
    clave_->setEchoMode(QLineEdit::Password);
    clave_->setPlaceholderText(QStringLiteral("Vacía: se deja la que haya guardada"));
    auto* rejilla = new QGridLayout;
    rejilla->setContentsMargins(24, 4, 0, 4);
    Kit::ponerCampo(rejilla, 0, 0, QStringLiteral("&Servidor"), equipo_);
    Kit::ponerCampo(rejilla, 1, 0, QStringLiteral("P&uerto"), puerto_);
    Kit::ponerCampo(rejilla, 2, 0, QStringLiteral("&Base de datos"), base_);
    Kit::ponerCampo(rejilla, 3, 0, QStringLiteral("Usua&rio"), usuario_);
    Kit::ponerCampo(rejilla, 4, 0, QStringLiteral("&Contraseña"), clave_);
    v->addLayout(rejilla);

    resultado_ = new QLabel;
    resultado_->setObjectName(QStringLiteral("LResultado"));
    resultado_->setWordWrap(true);
    resultado_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resultado_->setMinimumHeight(resultado_->fontMetrics().lineSpacing() * 4);
    resultado_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    v->addWidget(resultado_, 1);

    probar_ = Kit::boton(QStringLiteral("BProbar"), QStringLiteral("Probar co&nexión"));
    guardar_ = Kit::boton(QStringLiteral("BGuardar"), QStringLiteral("&Guardar"));
    cancelar_ = Kit::boton(QStringLiteral("BCancelar"), QStringLiteral("Cancelar"));
    trasladar_ = Kit::boton(QStringLiteral("BTrasladar"), QStringLiteral("&Trasladar al servidor"));
    trasladar_->setToolTip(QStringLiteral("Copia los datos del archivo de la carpeta del programa en la base de datos "
                                          "del servidor, que tiene que estar vacía"));
    copiar_ = Kit::boton(QStringLiteral("BCopiarArchivo"), QStringLiteral("C&opiar a un archivo"));
    copiar_->setToolTip(QStringLiteral("Copia los datos del servidor en un archivo, para trabajar sin red"));
    auto* botones = new QHBoxLayout;
    botones->addWidget(probar_);
    botones->addWidget(trasladar_);
    botones->addWidget(copiar_);
    botones->addStretch(1);
    botones->addWidget(guardar_);
    botones->addWidget(cancelar_);
    v->addLayout(botones);

    connect(archivo_, &QRadioButton::toggled, this, [this] { cambiarTipo(); });
    connect(probar_, &QPushButton::clicked, this, Ranura([this] { probar(); }, this));
    connect(guardar_, &QPushButton::clicked, this, Ranura([this] { guardar(); }, this));
    connect(trasladar_, &QPushButton::clicked, this, Ranura([this] { trasladar(); }, this));
    connect(copiar_, &QPushButton::clicked, this, Ranura([this] { copiarArchivo(); }, this));
    connect(cancelar_, &QPushButton::clicked, this, [this] { cerrar(); });
}

void OrigenDatos::cargar()
{
    const OrigenGuardado origen = LeerOrigen();
    (origen.enServidor ? servidor_ : archivo_)->setChecked(true);
    equipo_->setText(origen.servidor.servidor);
    puerto_->setText(QString::number(origen.servidor.puerto));
    base_->setText(origen.servidor.base);
    usuario_->setText(origen.servidor.usuario);
    cambiarTipo();
}

void OrigenDatos::cambiarTipo()
{
    const bool enServidor = servidor_->isChecked();
    for (QWidget* campo :
         {static_cast<QWidget*>(equipo_), static_cast<QWidget*>(puerto_), static_cast<QWidget*>(base_),
          static_cast<QWidget*>(usuario_), static_cast<QWidget*>(clave_), static_cast<QWidget*>(probar_),
          static_cast<QWidget*>(trasladar_), static_cast<QWidget*>(copiar_)})
        campo->setEnabled(enServidor && (campo != probar_ || !prueba_));
}

std::optional<DatosServidor> OrigenDatos::servidorEscrito()
{
    const auto falta = [this](QLineEdit* campo, const QString& texto) {
        Servicios().mensaje(this, texto, Titulo, Icono::Exclamacion, Botones::Aceptar, Respuesta::Aceptar);
        campo->setFocus();
        campo->selectAll();
        return std::nullopt;
    };
    DatosServidor d;
    d.servidor = equipo_->text().trimmed();
    if (d.servidor.isEmpty())
        return falta(equipo_, QStringLiteral("Escriba el nombre o la dirección del servidor."));
    bool numero = false;
    d.puerto = puerto_->text().toInt(&numero);
    if (!numero || d.puerto < 1 || d.puerto > 65535)
        return falta(puerto_, QStringLiteral("El puerto tiene que ser un número del 1 al 65535 (el de PostgreSQL "
                                             "suele ser el 5432)."));
    d.base = base_->text();
    if (d.base.isEmpty())
        return falta(base_, QStringLiteral("Escriba el nombre de la base de datos del servidor."));
    d.usuario = usuario_->text();
    if (d.usuario.isEmpty())
        return falta(usuario_, QStringLiteral("Escriba el usuario con el que se entra en el servidor."));
    return d;
}

void OrigenDatos::probar()
{
    if (prueba_)
        return;
    const std::optional<DatosServidor> datos = servidorEscrito();
    if (!datos)
        return;
    avisar(QStringLiteral("Probando la conexión con «%1»...").arg(FuenteServidor(*datos)), false);
    // En otro hilo: un servidor que no contesta haría esperar a la ventana hasta agotar la espera.
    auto resultado = std::make_shared<ResultadoSondeo>();
    const QString clave = clave_->text();
    prueba_ = QThread::create([resultado, d = *datos, clave] { *resultado = ProbarServidor(d, clave, EsperaPrueba); });
    connect(prueba_, &QThread::finished, prueba_, &QObject::deleteLater);
    connect(prueba_, &QThread::finished, this, [this, resultado, d = *datos] { mostrarPrueba(*resultado, d); });
    probar_->setEnabled(false);
    prueba_->start();
}

void OrigenDatos::mostrarPrueba(const ResultadoSondeo& resultado, const DatosServidor& datos)
{
    prueba_ = nullptr;
    cambiarTipo();
    avisar(resultado.mensaje(datos), !resultado.correcta());
}

void OrigenDatos::guardar()
{
    OrigenGuardado origen = LeerOrigen();
    origen.enServidor = servidor_->isChecked();
    QString hecho;
    if (origen.enServidor) {
        const std::optional<DatosServidor> datos = servidorEscrito();
        if (!datos)
            return;
        origen.servidor = *datos;
        hecho = QStringLiteral("Guardado: el programa trabajará con la base de datos «%1» del servidor «%2», puerto "
                               "%3, con el usuario «%4».")
                    .arg(datos->base, datos->servidor)
                    .arg(datos->puerto)
                    .arg(datos->usuario);
        // La contraseña primero: si no se puede guardar, tampoco se cambia la elección.
        if (!clave_->text().isEmpty()) {
            const QString fallo = GuardarClave(*datos, clave_->text());
            if (!fallo.isEmpty()) {
                Servicios().mensaje(this, QStringLiteral("No se ha guardado nada. ") + fallo, Titulo, Icono::Critico,
                                    Botones::Aceptar, Respuesta::Aceptar);
                return;
            }
            hecho += QStringLiteral(" La contraseña queda en «%1», que sólo puede leer usted.")
                         .arg(QDir::toNativeSeparators(ArchivoClaves()));
        }
    } else
        hecho = QStringLiteral("Guardado: el programa trabajará con la base de datos del archivo de su carpeta.");
    const QString fallo = GuardarOrigen(origen);
    if (!fallo.isEmpty()) {
        Servicios().mensaje(this, QStringLiteral("No se ha guardado la elección. ") + fallo, Titulo, Icono::Critico,
                            Botones::Aceptar, Respuesta::Aceptar);
        return;
    }
    Servicios().mensaje(this, hecho + ' ' + AvisoProximaVez, Titulo, Icono::Informacion, Botones::Aceptar,
                        Respuesta::Aceptar);
    cerrar();
}

void OrigenDatos::trasladar()
{
    const std::optional<DatosServidor> datos = servidorEscrito();
    if (!datos)
        return;
    const QString archivo = RutaEnPrograma(QStringLiteral("Evaluacion.mdb"));
    copiarConAvance(*datos, QStringLiteral("Trasladar al servidor"),
                    [&](PGconn* c, const AvanceCopia& avance) { return trasladarAlServidor(archivo, c, avance); });
}

void OrigenDatos::copiarArchivo()
{
    const std::optional<DatosServidor> datos = servidorEscrito();
    if (!datos)
        return;
    const QString titulo = QStringLiteral("Copiar a un archivo");
    const QString destino =
        Servicios().elegirArchivo(this, titulo, RutaEnPrograma(QStringLiteral("Evaluacion servidor.mdb")),
                                  QStringLiteral("Bases de datos (*.mdb)"), true);
    if (destino.isEmpty())
        return;
    // El archivo con el que trabaja el programa no se puede sustituir debajo de su conexión.
    if (!sesion_.conexion.isEmpty() && !EsConexionServidor(sesion_.conexion)) {
        const QFileInfo enUso(QDir::fromNativeSeparators(analizarConexion(sesion_.conexion).fuente));
        const QFileInfo elegido(destino);
        if (elegido.exists() && elegido.canonicalFilePath() == enUso.canonicalFilePath()) {
            const QString texto =
                QStringLiteral("No se ha copiado nada: «%1» es la base de datos con la que está trabajando el "
                               "programa. Elija otro nombre de archivo.")
                    .arg(QDir::toNativeSeparators(elegido.absoluteFilePath()));
            avisar(texto, true);
            Servicios().mensaje(this, texto, titulo, Icono::Exclamacion, Botones::Aceptar, Respuesta::Aceptar);
            return;
        }
    }
    copiarConAvance(*datos, titulo,
                    [&](PGconn* c, const AvanceCopia& avance) { return copiarAArchivo(c, destino, avance); });
}

void OrigenDatos::copiarConAvance(const DatosServidor& datos, const QString& titulo,
                                  const std::function<ResultadoTraslado(PGconn*, const AvanceCopia&)>& copia)
{
    ResultadoTraslado r;
    QProgressDialog avance(QStringLiteral("Conectando con el servidor «%1»...").arg(FuenteServidor(datos)),
                           QStringLiteral("Cancelar"), 0, 1, this);
    avance.setObjectName(QStringLiteral("Avance"));
    avance.setWindowTitle(titulo);
    avance.setWindowModality(Qt::WindowModal);
    avance.setMinimumDuration(0);
    avance.setValue(0);
    Servicios().relojArena(true);
    try {
        ConexionPg conexion = conectarPg(QString::fromUtf8(ParametrosLibpq(datos, EsperaPrueba, clave_->text())));
        r = copia(conexion.get(), [&avance](const QString& tabla, int hechas, int total) {
            avance.setMaximum(total);
            avance.setValue(hechas);
            avance.setLabelText(
                tabla.isEmpty()
                    ? QStringLiteral("Contando las filas copiadas...")
                    : QStringLiteral("Copiando la tabla %1 (%2 de %3)...").arg(tabla).arg(hechas + 1).arg(total));
            QCoreApplication::processEvents();
            if (avance.wasCanceled())
                throw ErrorBD(NumeroError::ErrorGeneral,
                              QStringLiteral("lo ha cancelado usted; todo queda como estaba."));
        });
    } catch (const ErrorBD& e) {
        r.mensaje = QStringLiteral("No se puede conectar con el servidor «%1»: no se ha copiado nada.\n\n%2")
                        .arg(FuenteServidor(datos), e.descripcion());
    }
    Servicios().relojArena(false);
    avance.reset();
    avisar(r.mensaje, !r.hecho);
    Servicios().mensaje(this, r.mensaje, titulo, r.hecho ? Icono::Informacion : Icono::Critico, Botones::Aceptar,
                        Respuesta::Aceptar);
}

void OrigenDatos::cerrar()
{
    RegistroVentanas* registro = RegistroVentanas::actual();
    if (registro && registro->ventana(Ventana::OrigenDatos) == this)
        registro->descargar(Ventana::OrigenDatos);
    else
        close();
}

void OrigenDatos::avisar(const QString& texto, bool fallo)
{
    resultado_->setText(texto);
    resultado_->setAccessibleName(texto);
    QPalette paleta = resultado_->palette();
    paleta.setColor(QPalette::WindowText, fallo ? QColor(170, 0, 0) : palette().color(QPalette::WindowText));
    resultado_->setPalette(paleta);
}
