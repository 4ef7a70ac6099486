#pragma once

#include <benchmark/benchmark.h>
#include <memory>
#include <string>

// Cada medida trabaja en su propia copia de la base de escala, hecha al empezar la medida: no ve lo
// que dejaron las anteriores, y pasada sola mide lo mismo que pasada con todas. Las vueltas de una
// misma medida comparten la copia. La de la medida anterior se tira antes de hacer la nueva: a diez
// veces la escala, cada una ocupa casi un giga.
template <typename Copia> class CopiaPorMedida
{
public:
    Copia& actual() { return *copia_; }

    void soltar()
    {
        copia_.reset();
        medida_.clear();
    }

    benchmark::internal::Benchmark* registrar(const std::string& nombre, void (*medida)(benchmark::State&))
    {
        return benchmark::RegisterBenchmark(nombre.c_str(), [this, nombre, medida](benchmark::State& estado) {
            if (!copia_ || medida_ != nombre) {
                soltar();
                copia_ = std::make_unique<Copia>();
                medida_ = nombre;
            }
            medida(estado);
        });
    }

private:
    std::unique_ptr<Copia> copia_;
    std::string medida_;
};
