#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace salvamento {

// Copia privada del archivo dañado, que es la que se lee: el original no se abre nunca y queda
// tal cual como copia de seguridad. Si su cabecera está dañada se rehace; si está cortado, se
// completa con ceros hasta el tamaño que dice su cabecera (si no, SQLite no lee ninguna de sus
// páginas, tampoco las buenas). Su diario se pasa al archivo para leer las páginas a mano.
class Origen
{
public:
    // Lanza ErrorBD si no se puede hacer la copia.
    Origen(const QString& archivo, const QString& copia);
    ~Origen();
    Origen(const Origen&) = delete;
    Origen& operator=(const Origen&) = delete;
    sqlite3* bd() const { return bd_; }
    const QByteArray& paginas() const { return paginas_; }
    // Con la cabecera rehecha no se sabe qué páginas estaban libres.
    bool cabeceraRehecha() const { return rehecha_; }

private:
    void borrar();
    void rehacerCabecera();
    void completar();

    QString copia_;
    sqlite3* bd_ = nullptr;
    QByteArray paginas_;
    qint64 leidos_ = -1; // lo que de verdad hay (-1: todo); el relleno no se lee
    bool rehecha_ = false;
};

} // namespace salvamento
