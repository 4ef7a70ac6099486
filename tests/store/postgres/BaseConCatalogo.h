#pragma once

// Una base del programa recién hecha en cada motor, como la encuentra un usuario: en el archivo, la
// copia de la base entregada; en el servidor, una base vacía que recibe el catálogo de la carpeta
// del programa al preparar su esquema. En los dos, carpeta() es donde el programa busca su
// Catalogo.mdb para poner la base al día.
#include "CopiaPrograma.h"
#include "MotoresPrueba.h"
#include "plataforma/CarpetaPrograma.h"
#include "store/ActualizacionCatalogo.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class BaseConCatalogo
{
public:
    explicit BaseConCatalogo(bool servidor)
    {
        if (!servidor) {
            archivo_ = std::make_unique<CopiaPrograma>();
            texto_ = archivo_->conexion();
            return;
        }
        programa_ = std::make_unique<QTemporaryDir>();
        QFile::copy(QStringLiteral(CARPETA_ENTREGA "/Evaluacion.mdb"), programa_->filePath(NombreCatalogoPrograma));
        FijarCarpetaPrograma(programa_->path());
        servidor_ = std::make_unique<BaseProgramaServidor>();
        texto_ = servidor_->texto();
    }
    ~BaseConCatalogo()
    {
        Conexion::cerrarTodas();
        FijarCarpetaPrograma({});
    }
    BaseConCatalogo(const BaseConCatalogo&) = delete;
    BaseConCatalogo& operator=(const BaseConCatalogo&) = delete;

    const QString& texto() const { return texto_; }
    QString carpeta() const { return archivo_ ? archivo_->carpeta() : programa_->path(); }
    QString catalogo() const { return carpeta() + QStringLiteral("/") + NombreCatalogoPrograma; }

private:
    std::unique_ptr<CopiaPrograma> archivo_;
    std::unique_ptr<QTemporaryDir> programa_;
    std::unique_ptr<BaseProgramaServidor> servidor_;
    QString texto_;
};

// Los motores de una prueba parametrizada: el archivo siempre; el servidor, con el de pruebas.
inline std::vector<bool> motoresConCatalogo()
{
    std::vector<bool> r = {false};
    if (qEnvironmentVariableIsSet("EVALUACION_SERVIDOR_PRUEBAS"))
        r.push_back(true);
    return r;
}

inline std::string nombreMotor(const ::testing::TestParamInfo<bool>& i)
{
    return i.param ? "Postgres" : "Sqlite";
}
