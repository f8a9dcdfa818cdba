#include "report/periodo.h"

#include <cstdint>
#include <limits>

QDateTime instanteLocal(const QDate &data, const QTime &hora, bool *ajustado)
{
    if (ajustado)
        *ajustado = false;
    const QDateTime instante(data, hora, Qt::LocalTime);
    if (instante.isValid() || !data.isValid() || !hora.isValid())
        return instante;
    // Inside a gap: the wall-clock reading, moved forward as plain arithmetic
    // a minute at a time to the first valid one, then back a second at a time
    // to where the gap ends.
    const QDateTime relogio(data, hora, Qt::UTC);
    const auto local = [&](int segundos) {
        const QDateTime lido = relogio.addSecs(segundos);
        return QDateTime(lido.date(), lido.time(), Qt::LocalTime);
    };
    for (int segundos = 60; segundos <= 24 * 3600; segundos += 60) {
        QDateTime depois = local(segundos);
        if (!depois.isValid())
            continue;
        for (int antes = segundos - 1; antes > segundos - 60 && local(antes).isValid(); --antes)
            depois = local(antes);
        if (ajustado)
            *ajustado = true;
        return depois;
    }
    return instante;
}

QDateTime primeiroInstanteRegistravel()
{
    return QDateTime::fromSecsSinceEpoch(0, Qt::LocalTime);
}

QDateTime ultimoInstanteRegistravel()
{
    return QDateTime::fromSecsSinceEpoch(std::numeric_limits<std::int32_t>::max(), Qt::LocalTime);
}

bool instanteRegistravel(const QDateTime &instante)
{
    const qint64 segundos = instante.toSecsSinceEpoch();
    return instante.isValid() && segundos >= 0
           && segundos <= std::numeric_limits<std::int32_t>::max();
}
