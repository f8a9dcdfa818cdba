#pragma once

// The bounds of a report period as people give them: local dates and times,
// turned into the instants the database keeps (32-bit seconds since
// 1970-01-01 00:00 UTC). Shared by the window and relatorio-cli.

#include <QDateTime>
#include <QString>

#include <optional>

// The instant a local date and time denote. A time that the clock skips
// (daylight saving starts) is taken as the first instant after the gap, and
// `ajustado` says so; a repeated hour (daylight saving ends) gives its first
// occurrence. Invalid only for an invalid date or time.
QDateTime instanteLocal(const QDate &data, const QTime &hora, bool *ajustado = nullptr);

// The first and last instants the database can keep.
QDateTime primeiroInstanteRegistravel();
QDateTime ultimoInstanteRegistravel();
// Between the two, both included.
bool instanteRegistravel(const QDateTime &instante);

// A period given by name, as scheduled reports ask for it: "ontem",
// "semana-passada" (Monday to Sunday), "mes-passado" (the calendar month) or
// "hoje" (from midnight to `agora`), in local time as seen at `agora`. A
// period starts at the first instant of its first day and ends one second
// before the day after its last one begins, so that consecutive periods
// neither overlap nor leave a gap when the clock skips or repeats an hour.
// `agora` counts in whole seconds. Empty for any other name.
struct Periodo
{
    QDateTime inicio;
    QDateTime fim;
};
std::optional<Periodo> periodoNomeado(const QString &nome, const QDateTime &agora);
