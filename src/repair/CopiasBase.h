#pragma once

#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>
#include <functional>

// Copias de Evaluacion.mdb que deja Reparar al poner otro archivo en su lugar. Cada una lleva la
// fecha y la hora ("Evaluacion AAAA-MM-DD hh.mm.ss.bak") y nunca se escribe encima de otra; la de
// un archivo dañado lleva además " dañada" y no se borra nunca.
namespace copias {
using Renombrar = std::function<bool(const QString& de, const QString& a)>;

// Cuántas copias sanas se guardan; las más viejas sobran.
constexpr int CopiasSanasGuardadas = 5;

// Nombre libre para la copia de ahora (con " (2)", " (3)"... si ya hay otra de ese segundo).
QString nombreLibre(const QDir& dir, const QDateTime& cuando, bool danada);

// Copias sanas de la carpeta, de la más nueva a la más vieja.
QStringList sanas(const QDir& dir);

// Nombre de la copia con la que se puede recuperar la base de datos, o vacío si no hay ninguna.
QString masReciente(const QDir& dir);

// Borra las copias sanas que pasan de las que se guardan, salvo "guardar". Las dañadas no se tocan.
void podar(const QDir& dir, const QString& guardar);

// Borra un archivo de base de datos con sus diarios. Devuelve false si queda alguno.
bool borrarConDiarios(const QString& archivo);

// Pone "nueva" como Evaluacion.mdb y la actual como "copia" (que no debe existir). Siempre que se
// puede, la actual pasa a ser también la copia (enlace duro) y la nueva la sustituye de un solo
// golpe: la carpeta no se queda ni un momento sin Evaluacion.mdb, aunque el proceso muera ahí. Si
// no se puede, dos cambios de nombre seguidos. Si un paso falla, deshace los anteriores y deja el
// motivo en "fallo".
bool ponerEnSuSitio(const QDir& dir, const QString& nueva, const QString& copia, const Renombrar& renombrar,
                    QString& fallo);
} // namespace copias
