#include "model/numeroclassificacaotreino.h"

#include "db/databaseconnection.h"
#include "db/queryresult.h"

NumeroClassificacaoTreino::NumeroClassificacaoTreino(DatabaseConnection *conexao, int id,
                                                     int id_treino, int num_classificacao,
                                                     int num_fotos)
    : GenericEntity(conexao)
    , id_treino(id_treino)
    , num_classificacao(num_classificacao)
    , num_fotos(num_fotos)
{
    this->id = id;
}

std::string NumeroClassificacaoTreino::tableName() const
{
    return "numero_classificacao_treino";
}

std::vector<std::string> NumeroClassificacaoTreino::columnNames() const
{
    return {"id_treino", "num_classificacao", "num_fotos"};
}

std::vector<std::string> NumeroClassificacaoTreino::columnValues() const
{
    return {toSqlValue(id_treino, SqlValueKind::Int),
            toSqlValue(num_classificacao, SqlValueKind::Int),
            toSqlValue(num_fotos, SqlValueKind::Int)};
}

void NumeroClassificacaoTreino::loadFromRow(const PGresult *result)
{
    id_treino = getInt(result, 0, 0);
    num_classificacao = getInt(result, 0, 1);
    num_fotos = getInt(result, 0, 2);
}

int NumeroClassificacaoTreino::columnCount() const
{
    return 3;
}

std::string NumeroClassificacaoTreino::consultaPorTreino(int idTreino)
{
    return "select id,num_classificacao,num_fotos from numero_classificacao_treino where "
           "id_treino="
           + intToString(idTreino) + " order by num_classificacao asc";
}

std::vector<NumeroClassificacaoTreino *>
NumeroClassificacaoTreino::listaDe(DatabaseConnection *conexao, const PGresult *result,
                                   int idTreino)
{
    std::vector<NumeroClassificacaoTreino *> lista;
    for (int i = 0; i < rowCount(result); ++i) {
        // The entry carries the variety it was asked for, not the row's column.
        lista.push_back(new NumeroClassificacaoTreino(conexao, getInt(result, i, 0), idTreino,
                                                      getInt(result, i, 1), getInt(result, i, 2)));
    }
    return lista;
}

std::vector<NumeroClassificacaoTreino *>
NumeroClassificacaoTreino::listarPorTreino(DatabaseConnection *conexao, int idTreino)
{
    const ResultPtr result(executeQuery(conexao, consultaPorTreino(idTreino)));
    return listaDe(conexao, result.get(), idTreino);
}
