#include "model/funcionario.h"

#include "db/databaseconnection.h"
#include "db/queryresult.h"

Funcionario::Funcionario(DatabaseConnection *conexao, int id, std::string nome, bool ativo,
                         std::string apelido)
    : GenericEntity(conexao)
    , nome(std::move(nome))
    , apelido(std::move(apelido))
    , ativo(ativo)
{
    this->id = id;
}

std::string Funcionario::tableName() const
{
    return "funcionario";
}

std::vector<std::string> Funcionario::columnNames() const
{
    return {"nome", "apelido", "ativo"};
}

std::vector<std::string> Funcionario::columnValues() const
{
    return {toSqlValue(nome, SqlValueKind::Text), toSqlValue(apelido, SqlValueKind::Text),
            toSqlValue(ativo, SqlValueKind::Bool)};
}

void Funcionario::loadFromRow(const PGresult *result)
{
    nome = getString(result, 0, 0);
    apelido = getString(result, 0, 1);
    ativo = getBool(result, 0, 2);
}

int Funcionario::columnCount() const
{
    return 3;
}

// Both this list and producaoPorClasse order by name, then id: the report
// pairs them by position, so employees with equal names must not swap.
std::string Funcionario::consultaPorPeriodo(long inicio, long fim, int idTreino)
{
    std::string sql = "select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f, "
                      "sessao s where f.id=s.id_funcionario and ";
    if (idTreino != 0)
        sql += "s.id_treino=" + intToString(idTreino) + " and ";
    sql += "(s.instante_inicial between " + longToString(inicio) + " and " + longToString(fim);
    sql += " or s.instante_final between " + longToString(inicio) + " and " + longToString(fim);
    sql += ") order by f.nome,f.id";
    return sql;
}

std::vector<Funcionario *> Funcionario::listaDe(DatabaseConnection *conexao, const PGresult *r)
{
    std::vector<Funcionario *> lista;
    for (int i = 0; i < rowCount(r); ++i)
        lista.push_back(new Funcionario(conexao, getInt(r, i, 0), getString(r, i, 1),
                                        getBool(r, i, 2), getString(r, i, 3)));
    return lista;
}

std::vector<Funcionario *> Funcionario::listarPorPeriodo(DatabaseConnection *conexao, long inicio,
                                                         long fim, int idTreino)
{
    const ResultPtr result(executeQuery(conexao, consultaPorPeriodo(inicio, fim, idTreino)));
    return listaDe(conexao, result.get());
}

std::string Funcionario::consultaContagem(int classificacao, long inicio, long fim, int idTreino)
{
    std::string sql = "select count(*) from evento_muda where ";
    sql += "classificacao=" + intToString(classificacao);
    if (idTreino != 0)
        sql += " and id_treino=" + intToString(idTreino);
    sql += " and instante between " + longToString(inicio);
    sql += " and " + longToString(fim);
    return sql;
}

long Funcionario::contarEventos(DatabaseConnection *conexao, int classificacao, long inicio,
                                long fim, int idTreino)
{
    const ResultPtr result(
        executeQuery(conexao, consultaContagem(classificacao, inicio, fim, idTreino)));
    return getLong(result.get(), 0, 0);
}

std::string Funcionario::consultaProducao(int classificacao, long inicio, long fim, int idTreino,
                                          const std::vector<int> &ids)
{
    std::string sql = "select coalesce(total,0) from funcionario f1 left join (";
    sql += "select f.id as id,count(distinct e.id) as total from funcionario f, "
           "sessao s left join evento_muda e ";
    sql += "on s.id=e.id_sessao and e.classificacao=" + intToString(classificacao);
    if (idTreino != 0)
        sql += " and e.id_treino=" + intToString(idTreino);
    sql += " where f.id=s.id_funcionario and ";
    sql += "(s.instante_inicial between " + longToString(inicio) + " and " + longToString(fim);
    sql += " or s.instante_final between " + longToString(inicio) + " and " + longToString(fim);
    sql += ") and e.id_sessao=s.id group by f.id) eventos";
    sql += " on f1.id = eventos.id";
    if (!ids.empty()) {
        sql += " where f1.id in (";
        for (std::size_t i = 0; i < ids.size(); ++i)
            sql += (i > 0 ? "," : "") + intToString(ids[i]);
        sql += ") ";
    }
    sql += " order by f1.nome asc,f1.id asc";
    return sql;
}

std::vector<int> Funcionario::producaoDe(const PGresult *result, int quantidade)
{
    std::vector<int> contagens;
    for (int i = 0; i < quantidade; ++i)
        contagens.push_back(getInt(result, i, 0));
    return contagens;
}

std::vector<int> Funcionario::producaoPorClasse(DatabaseConnection *conexao, int classificacao,
                                                long inicio, long fim, int quantidade, int idTreino,
                                                std::vector<int> ids)
{
    const ResultPtr result(
        executeQuery(conexao, consultaProducao(classificacao, inicio, fim, idTreino, ids)));
    return producaoDe(result.get(), quantidade);
}
