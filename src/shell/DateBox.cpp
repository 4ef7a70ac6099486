#include "shell/DateBox.h"

#include <QCalendarWidget>
#include <QDateTime>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char* const Meses[] = {"enero", "febrero", "marzo",      "abril",   "mayo",      "junio",
                             "julio", "agosto",  "septiembre", "octubre", "noviembre", "diciembre"};

// Años de dos cifras: del 00 al 29 son de este siglo y del 30 al 99 del pasado, como siempre ha
// hecho el sistema al leer fechas cortas.
int anyoCompleto(int anyo, int cifras)
{
    if (cifras != 2)
        return anyo;
    return anyo < 30 ? 2000 + anyo : 1900 + anyo;
}
} // namespace

DateBox::DateBox(QWidget* parent) : QWidget(parent)
{
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(1);
    edicion_ = new QLineEdit(this);
    edicion_->setObjectName(QStringLiteral("textoFecha"));
    edicion_->setPlaceholderText(QStringLiteral("dd/mm/aaaa"));
    edicion_->setClearButtonEnabled(true);
    edicion_->setMaxLength(20);
    edicion_->setMinimumWidth(edicion_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 36);
    edicion_->installEventFilter(this);
    boton_ = new QToolButton(this);
    boton_->setObjectName(QStringLiteral("botonCalendario"));
    boton_->setArrowType(Qt::DownArrow);
    boton_->setToolTip(QStringLiteral("Elegir la fecha en el calendario (F4)"));
    boton_->setAccessibleName(QStringLiteral("Calendario"));
    boton_->setFocusPolicy(Qt::NoFocus);
    h->addWidget(edicion_, 1);
    h->addWidget(boton_);
    setFocusProxy(edicion_);
    setFocusPolicy(Qt::StrongFocus);

    // El calendario se hace la primera vez que se despliega: una ventana con varias fechas no paga
    // al abrirse los que nadie va a mirar.
    connect(boton_, &QToolButton::clicked, this, [this] {
        if (desplegable_ && desplegable_->isVisible())
            hideCalendar();
        else
            showCalendar();
    });
    connect(edicion_, &QLineEdit::editingFinished, this, &DateBox::terminarEdicion);
    connect(edicion_, &QLineEdit::textChanged, this, [this] {
        // Mientras se escribe no se señala nada: el aviso vuelve al terminar.
        if (edicion_->property("fechaValida").isValid()) {
            edicion_->setProperty("fechaValida", QVariant());
            edicion_->setPalette(QPalette());
            edicion_->setToolTip(QString());
        }
        const QVariant ahora = value();
        if (ahora != ultimo_) {
            ultimo_ = ahora;
            emit valueChanged(ahora);
        }
    });
}

DateBox::~DateBox() = default;

QCalendarWidget* DateBox::calendar()
{
    if (calendario_)
        return calendario_;
    desplegable_ = new QFrame(this, Qt::Popup);
    desplegable_->setObjectName(QStringLiteral("desplegableCalendario"));
    desplegable_->setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(desplegable_);
    v->setContentsMargins(1, 1, 1, 1);
    calendario_ = new QCalendarWidget(desplegable_);
    calendario_->setObjectName(QStringLiteral("calendario"));
    calendario_->setLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    calendario_->setFirstDayOfWeek(Qt::Monday);
    calendario_->setGridVisible(true);
    calendario_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendario_->installEventFilter(this);
    v->addWidget(calendario_);
    connect(calendario_, &QCalendarWidget::clicked, this, &DateBox::elegir);
    connect(calendario_, &QCalendarWidget::activated, this, &DateBox::elegir);
    return calendario_;
}

QString DateBox::format(const QDate& fecha)
{
    return fecha.isValid() ? fecha.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

bool DateBox::parse(const QString& texto, QDate* fecha, QString* motivo)
{
    const auto fallo = [&](const QString& porque) {
        if (motivo)
            *motivo = porque;
        if (fecha)
            *fecha = QDate();
        return false;
    };
    const QString t = texto.trimmed();
    if (t.isEmpty())
        return fallo(QStringLiteral("no hay ninguna fecha escrita"));

    static const QRegularExpression iso(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})$)"));
    static const QRegularExpression dma(QStringLiteral(R"(^(\d{1,2})\s*[/.\-]\s*(\d{1,2})\s*[/.\-]\s*(\d+)$)"));
    static const QRegularExpression seguidos(QStringLiteral(R"(^(\d{2})(\d{2})(\d{2}|\d{4})$)"));
    QString dia, mes, anyo;
    if (const auto m = iso.match(t); m.hasMatch()) {
        anyo = m.captured(1);
        mes = m.captured(2);
        dia = m.captured(3);
    } else if (const auto m2 = dma.match(t); m2.hasMatch()) {
        dia = m2.captured(1);
        mes = m2.captured(2);
        anyo = m2.captured(3);
    } else if (const auto m3 = seguidos.match(t); m3.hasMatch()) {
        dia = m3.captured(1);
        mes = m3.captured(2);
        anyo = m3.captured(3);
    } else {
        return fallo(QStringLiteral("no tiene la forma día/mes/año"));
    }
    if (anyo.size() != 2 && anyo.size() != 4)
        return fallo(QStringLiteral("el año tiene que llevar dos o cuatro cifras"));
    const int a = anyoCompleto(anyo.toInt(), int(anyo.size()));
    const int m = mes.toInt();
    const int d = dia.toInt();
    if (a < 1900)
        return fallo(QStringLiteral("el año %1 queda fuera de las fechas que se admiten (de 1900 en adelante)").arg(a));
    if (m < 1 || m > 12)
        return fallo(QStringLiteral("no existe el mes %1; los meses van del 1 al 12").arg(m));
    const int dias = QDate(a, m, 1).daysInMonth();
    if (d < 1)
        return fallo(QStringLiteral("no existe el día 0"));
    if (d > dias)
        return fallo(
            QStringLiteral("%1 de %2 sólo tiene %3 días").arg(QString::fromUtf8(Meses[m - 1])).arg(a).arg(dias));
    if (fecha)
        *fecha = QDate(a, m, d);
    if (motivo)
        motivo->clear();
    return true;
}

QDate DateBox::date() const
{
    QDate fecha;
    parse(edicion_->text(), &fecha);
    return fecha;
}

QVariant DateBox::value() const
{
    const QDate fecha = date();
    return fecha.isValid() ? QVariant(fecha) : QVariant();
}

void DateBox::setValue(const QVariant& valor)
{
    QDate fecha;
    if (valor.typeId() == QMetaType::QDate)
        fecha = valor.toDate();
    else if (valor.typeId() == QMetaType::QDateTime)
        fecha = valor.toDateTime().date();
    else if (!valor.isNull() && valor.isValid())
        parse(valor.toString(), &fecha);
    edicion_->setText(format(fecha));
    marcar();
}

void DateBox::clear()
{
    edicion_->clear();
    marcar();
}

bool DateBox::isEmpty() const
{
    return edicion_->text().trimmed().isEmpty();
}

bool DateBox::isValid() const
{
    return isEmpty() || date().isValid();
}

QString DateBox::problem() const
{
    QString motivo;
    if (isEmpty() || parse(edicion_->text(), nullptr, &motivo))
        return {};
    return QStringLiteral("«%1» no es una fecha válida: %2. Escriba la fecha como día/mes/año, por ejemplo "
                          "08/12/2026, o elíjala en el calendario.")
        .arg(edicion_->text().trimmed(), motivo);
}

QString DateBox::text() const
{
    return edicion_->text();
}

void DateBox::setText(const QString& texto)
{
    edicion_->setText(texto);
}

void DateBox::showCalendar()
{
    const QDate fecha = date();
    calendar()->setSelectedDate(fecha.isValid() ? fecha : QDate::currentDate());
    desplegable_->adjustSize();
    QPoint donde = mapToGlobal(QPoint(0, height()));
    if (QScreen* pantalla = screen()) {
        const QRect util = pantalla->availableGeometry();
        const QSize tam = desplegable_->sizeHint();
        if (donde.x() + tam.width() > util.right())
            donde.setX(qMax(util.left(), util.right() - tam.width()));
        if (donde.y() + tam.height() > util.bottom())
            donde.setY(qMax(util.top(), mapToGlobal(QPoint(0, 0)).y() - tam.height()));
    }
    desplegable_->move(donde);
    desplegable_->show();
    calendario_->setFocus();
}

void DateBox::hideCalendar()
{
    if (desplegable_)
        desplegable_->hide();
}

void DateBox::elegir(const QDate& fecha)
{
    hideCalendar();
    if (!fecha.isValid())
        return;
    edicion_->setText(format(fecha));
    marcar();
    edicion_->setFocus();
    emit editingFinished();
}

void DateBox::terminarEdicion()
{
    // Lo que sí es una fecha se enseña siempre igual; lo que no, se queda como está, señalado.
    const QDate fecha = date();
    if (fecha.isValid() && edicion_->text() != format(fecha))
        edicion_->setText(format(fecha));
    marcar();
    emit editingFinished();
}

void DateBox::marcar()
{
    const QString problema = problem();
    if (problema.isEmpty()) {
        edicion_->setProperty("fechaValida", QVariant());
        edicion_->setPalette(QPalette());
        edicion_->setToolTip(QString());
        return;
    }
    QPalette p = edicion_->palette();
    p.setColor(QPalette::Text, QColor(0xB0, 0x00, 0x20));
    p.setColor(QPalette::Base, QColor(0xFF, 0xEB, 0xEE));
    edicion_->setPalette(p);
    edicion_->setToolTip(problema);
    edicion_->setProperty("fechaValida", false);
}

bool DateBox::eventFilter(QObject* objeto, QEvent* evento)
{
    if (evento->type() == QEvent::KeyPress) {
        auto* tecla = static_cast<QKeyEvent*>(evento);
        if (objeto == edicion_ &&
            (tecla->key() == Qt::Key_F4 || (tecla->key() == Qt::Key_Down && (tecla->modifiers() & Qt::AltModifier)))) {
            showCalendar();
            return true;
        }
        if (objeto == calendario_ && tecla->key() == Qt::Key_Escape) {
            hideCalendar();
            edicion_->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(objeto, evento);
}
