#include "model/sessao.h"

#include "db/databaseconnection.h"
#include "db/queryresult.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace {

// Where a session with no end (the machine or the employee is still at work)
// stops counting: the end of the span, or now if the span reaches past now.
long fimDeSessaoAberta(long fim)
{
    return std::min(fim, static_cast<long>(std::time(nullptr)));
}

// The end of a session as read from column `col`, with open sessions ended
// as above.
long instanteFinal(const PGresult *result, int row, int col, long fim)
{
    if (isNull(result, row, col))
        return fimDeSessaoAberta(fim);
    return getLong(result, row, col);
}

// The selected sessions of a result of consultaIntervalos, cut to
// [inicio, fim], in ascending order of start. Only sessions that keep some
// time inside the span are returned, so a broken row (an end before its
// start) can never subtract from a total.
std::vector<std::pair<long, long>> intervalosNoPeriodo(const PGresult *result, long inicio,
                                                       long fim)
{
    std::vector<std::pair<long, long>> intervalos;
    for (int i = 0; i < rowCount(result); ++i) {
        const long comeco = std::max(getLong(result, i, 0), inicio);
        const long termino = std::min(instanteFinal(result, i, 1, fim), fim);
        if (termino > comeco)
            intervalos.emplace_back(comeco, termino);
    }
    return intervalos;
}

} // namespace

Sessao::Sessao(DatabaseConnection *conexao, int id, int id_funcionario, long instante_inicial,
               long instante_final, int sensor, int id_treino)
    : GenericEntity(conexao)
    , id_funcionario(id_funcionario)
    , instante_inicial(instante_inicial)
    , instante_final(instante_final)
    , sensor(sensor)
    , id_treino(id_treino)
{
    this->id = id;
}

std::string Sessao::tableName() const
{
    return "sessao";
}

std::vector<std::string> Sessao::columnNames() const
{
    return {"id_funcionario", "instante_inicial", "instante_final", "sensor", "id_treino"};
}

std::vector<std::string> Sessao::columnValues() const
{
    return {toSqlValue(id_funcionario, SqlValueKind::Int),
            toSqlValue(instante_inicial, SqlValueKind::Long),
            toSqlValue(instante_final, SqlValueKind::Long), toSqlValue(sensor, SqlValueKind::Int),
            toSqlValue(id_treino, SqlValueKind::Int)};
}

void Sessao::loadFromRow(const PGresult *result)
{
    id_funcionario = getInt(result, 0, 0);
    instante_inicial = getLong(result, 0, 1);
    instante_final = getLong(result, 0, 2);
    sensor = getInt(result, 0, 3);
    id_treino = getInt(result, 0, 4);
}

int Sessao::columnCount() const
{
    return 5;
}

std::string Sessao::consultaPorPeriodo(long inicio, long fim, int idTreino, int idFuncionario,
                                       int sensor)
{
    std::string sql = "select distinct s.id,s.id_funcionario,s.instante_inicial,"
                      "s.instante_final,s.sensor,s.id_treino "
                      "from sessao s where ";
    sql += "s.id_funcionario=" + intToString(idFuncionario);
    sql += " and s.sensor=" + intToString(sensor);
    sql += " and s.id_treino=" + intToString(idTreino);
    sql += " and (s.instante_inicial between " + longToString(inicio) + " and " + longToString(fim);
    sql += " or s.instante_final between " + longToString(inicio) + " and " + longToString(fim);
    sql += ") order by s.instante_inicial ASC";
    return sql;
}

std::vector<Sessao *> Sessao::listaDe(DatabaseConnection *conexao, const PGresult *r, long fim,
                                      int idTreino)
{
    std::vector<Sessao *> lista;
    for (int i = 0; i < rowCount(r); ++i) {
        // Column 5 is not read: the filter makes it equal to idTreino.
        lista.push_back(new Sessao(conexao, getInt(r, i, 0), getInt(r, i, 1), getLong(r, i, 2),
                                   instanteFinal(r, i, 3, fim), getInt(r, i, 4), idTreino));
    }
    return lista;
}

std::vector<Sessao *> Sessao::listarPorPeriodo(DatabaseConnection *conexao, long inicio, long fim,
                                               int idTreino, int idFuncionario, int sensor)
{
    const ResultPtr result(
        executeQuery(conexao, consultaPorPeriodo(inicio, fim, idTreino, idFuncionario, sensor)));
    return listaDe(conexao, result.get(), fim, idTreino);
}

std::string Sessao::consultaIntervalos(long inicio, long fim, int idTreino, int idFuncionario)
{
    std::string sql = "select s.instante_inicial,s.instante_final from sessao s where ";
    if (idFuncionario > 0)
        sql += "s.id_funcionario=" + intToString(idFuncionario);
    else
        sql += "s.id_funcionario <> 1";
    sql += " and ";
    if (idTreino != 0)
        sql += " s.id_treino=" + intToString(idTreino) + " and ";
    sql += "(s.instante_inicial between " + longToString(inicio) + " and " + longToString(fim)
           + " or s.instante_final between " + longToString(inicio) + " and " + longToString(fim)
           + ")";
    sql += " group by s.id order by s.instante_inicial";
    return sql;
}

long Sessao::tempoSomado(DatabaseConnection *conexao, long inicio, long fim, int idTreino,
                         int idFuncionario)
{
    const ResultPtr result(
        executeQuery(conexao, consultaIntervalos(inicio, fim, idTreino, idFuncionario)));
    return tempoSomadoDe(result.get(), inicio, fim);
}

long Sessao::tempoCoberto(DatabaseConnection *conexao, long inicio, long fim, int idTreino,
                          int idFuncionario)
{
    const ResultPtr result(
        executeQuery(conexao, consultaIntervalos(inicio, fim, idTreino, idFuncionario)));
    return tempoCobertoDe(result.get(), inicio, fim);
}

long Sessao::tempoSomadoDe(const PGresult *intervalos, long inicio, long fim)
{
    long total = 0;
    for (const auto &[comeco, termino] : intervalosNoPeriodo(intervalos, inicio, fim))
        total += termino - comeco;
    return total;
}

long Sessao::tempoCobertoDe(const PGresult *intervalos, long inicio, long fim)
{
    // Starts arrive in ascending order, so the union is walked in one pass.
    long total = 0;
    long cobertoAte = inicio;
    for (const auto &[comeco, termino] : intervalosNoPeriodo(intervalos, inicio, fim)) {
        const long desde = std::max(comeco, cobertoAte);
        if (termino > desde)
            total += termino - desde;
        cobertoAte = std::max(cobertoAte, termino);
    }
    return total;
}
