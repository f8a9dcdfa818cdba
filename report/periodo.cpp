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

namespace {

QDateTime inicioDoDia(const QDate &dia)
{
    return instanteLocal(dia, QTime(0, 0));
}

// From the start of `primeiro` to the last second of `ultimo`.
Periodo dias(const QDate &primeiro, const QDate &ultimo)
{
    return {inicioDoDia(primeiro), inicioDoDia(ultimo.addDays(1)).addSecs(-1)};
}

} // namespace

std::optional<Periodo> periodoNomeado(const QString &nome, const QDateTime &agora)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(agora.toSecsSinceEpoch(), Qt::LocalTime);
    const QDate hoje = local.date();
    if (nome == QLatin1String("ontem"))
        return dias(hoje.addDays(-1), hoje.addDays(-1));
    if (nome == QLatin1String("semana-passada")) {
        const QDate segunda = hoje.addDays(1 - hoje.dayOfWeek());
        return dias(segunda.addDays(-7), segunda.addDays(-1));
    }
    if (nome == QLatin1String("mes-passado")) {
        const QDate primeiroDoMes(hoje.year(), hoje.month(), 1);
        return dias(primeiroDoMes.addMonths(-1), primeiroDoMes.addDays(-1));
    }
    if (nome == QLatin1String("hoje"))
        return Periodo{inicioDoDia(hoje), local};
    return std::nullopt;
}
