#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QWidget>

class QCalendarWidget;
class QFrame;
class QLineEdit;
class QToolButton;

// Caja de fecha que puede no tener fecha: se escribe (día/mes/año) o se elige en un calendario.
// Vacía es "sin fecha" y su valor es nulo; una fecha imposible no se toma nunca por una fecha: la
// caja la señala y quien la vaya a guardar pregunta problem() para avisar con un texto claro.
class DateBox : public QWidget
{
    Q_OBJECT

public:
    explicit DateBox(QWidget* parent = nullptr);
    ~DateBox() override;

    // La fecha como QDate, o un QVariant nulo si está vacía o lo escrito no es una fecha.
    QVariant value() const;
    QDate date() const;
    // Nulo, texto vacío o fecha no válida la dejan vacía; QDate, QDateTime o un texto con fecha la ponen.
    void setValue(const QVariant& valor);
    void clear();

    // Sin nada escrito (los blancos no cuentan): la caja no tiene fecha.
    bool isEmpty() const;
    // Vacía o con una fecha que existe.
    bool isValid() const;
    // Por qué lo escrito no es una fecha, listo para enseñarlo; vacío si no hay problema.
    QString problem() const;

    QString text() const;
    void setText(const QString& texto);
    QLineEdit* lineEdit() const { return edicion_; }
    QToolButton* calendarButton() const { return boton_; }

    // Despliega el calendario bajo la caja (F4 o Alt+Abajo desde el teclado).
    void showCalendar();
    void hideCalendar();
    // El calendario del desplegable; se hace la primera vez que se pide.
    QCalendarWidget* calendar();

    // Lee un texto escrito por el usuario: "8/12/2026", "08-12-26", "08.12.2026", "08122026" o
    // "2026-12-08". Devuelve false con el motivo si no es una fecha que exista.
    static bool parse(const QString& texto, QDate* fecha, QString* motivo = nullptr);
    // Formato en que la caja enseña las fechas.
    static QString format(const QDate& fecha);

signals:
    // La fecha (o su ausencia) ha cambiado por el usuario o por setValue.
    void valueChanged(const QVariant& valor);
    // El usuario ha terminado de escribir o ha elegido en el calendario.
    void editingFinished();

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void terminarEdicion();
    void marcar();
    void elegir(const QDate& fecha);

    QLineEdit* edicion_;
    QToolButton* boton_;
    QFrame* desplegable_ = nullptr;
    QCalendarWidget* calendario_ = nullptr;
    QVariant ultimo_;
};
