#include "model/treino.h"

#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "model/numeroclassificacaotreino.h"

Treino::Treino(DatabaseConnection *conexao, int id, std::string nome, bool ativo,
               std::string diretorio, int num_classificacoes)
    : Treino(SemClasses(), conexao, id, std::move(nome), ativo, std::move(diretorio),
             num_classificacoes)
{
    classificacoes = NumeroClassificacaoTreino::listarPorTreino(conexao, id);
}

Treino::Treino(SemClasses, DatabaseConnection *conexao, int id, std::string nome, bool ativo,
               std::string diretorio, int num_classificacoes)
    : GenericEntity(conexao)
    , diretorio(std::move(diretorio))
    , nome(std::move(nome))
    , ativo(ativo)
    , num_classificacoes(num_classificacoes)
{
    this->id = id;
}

Treino::~Treino()
{
    for (NumeroClassificacaoTreino *entrada : classificacoes)
        delete entrada;
}

std::string Treino::tableName() const
{
    return "treino";
}

std::vector<std::string> Treino::columnNames() const
{
    return {"nome", "ativo", "diretorio", "num_classificacoes"};
}

std::vector<std::string> Treino::columnValues() const
{
    return {toSqlValue(nome, SqlValueKind::Text), toSqlValue(ativo, SqlValueKind::Bool),
            toSqlValue(diretorio, SqlValueKind::Text),
            toSqlValue(num_classificacoes, SqlValueKind::Int)};
}

void Treino::loadFromRow(const PGresult *result)
{
    nome = getString(result, 0, 0);
    ativo = getBool(result, 0, 1);
    diretorio = getString(result, 0, 2);
    num_classificacoes = getInt(result, 0, 3);
}

int Treino::columnCount() const
{
    return 4;
}

std::string Treino::consultaComEventos(long inicio, long fim)
{
    std::string sql = "select v.id,v.nome,v.ativo,v.diretorio,v.num_classificacoes "
                      "from treino v where v.id in ";
    sql += "(select m.id_treino from evento_muda m where ";
    sql += "m.instante >= " + longToString(inicio);
    sql += " and m.instante <= " + longToString(fim);
    sql += ") group by v.id order by v.nome asc";
    return sql;
}

std::vector<Treino *> Treino::listaDe(DatabaseConnection *conexao, const PGresult *r,
                                      bool comClasses)
{
    std::vector<Treino *> lista;
    for (int i = 0; i < rowCount(r); ++i) {
        if (comClasses)
            lista.push_back(new Treino(conexao, getInt(r, i, 0), getString(r, i, 1),
                                       getBool(r, i, 2), getString(r, i, 3), getInt(r, i, 4)));
        else
            lista.push_back(new Treino(SemClasses(), conexao, getInt(r, i, 0), getString(r, i, 1),
                                       getBool(r, i, 2), getString(r, i, 3), getInt(r, i, 4)));
    }
    return lista;
}

std::vector<Treino *> Treino::listarComEventosNoPeriodo(DatabaseConnection *conexao, long inicio,
                                                        long fim)
{
    const ResultPtr result(executeQuery(conexao, consultaComEventos(inicio, fim)));
    return listaDe(conexao, result.get(), true);
}
