#include "report/escritor.h"

Celula Celula::texto(std::string valor)
{
    Celula celula;
    celula.textoUtf8 = std::move(valor);
    return celula;
}

Celula Celula::inteiro(long valor)
{
    Celula celula;
    celula.tipo = Tipo::Inteiro;
    celula.numero = valor;
    return celula;
}

Celula Celula::duracao(long segundos)
{
    Celula celula = inteiro(segundos);
    celula.tipo = Tipo::Duracao;
    return celula;
}

Celula Celula::data(const QDateTime &instante)
{
    Celula celula;
    celula.tipo = Tipo::Data;
    celula.instante = instante;
    return celula;
}

Celula Celula::hora(const QDateTime &instante)
{
    Celula celula = data(instante);
    celula.tipo = Tipo::Hora;
    return celula;
}

Celula Celula::horaMinuto(const QDateTime &instante)
{
    Celula celula = data(instante);
    celula.tipo = Tipo::HoraMinuto;
    return celula;
}
