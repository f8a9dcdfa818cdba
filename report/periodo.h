#pragma once

// The bounds of a report period as people give them: local dates and times,
// turned into the instants the database keeps (32-bit seconds since
// 1970-01-01 00:00 UTC). Shared by the window and relatorio-cli.

#include <QDateTime>

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
