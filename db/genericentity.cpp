#include "db/genericentity.h"

#include "db/databaseconnection.h"
#include "db/queryresult.h"

namespace {

std::string joined(const std::vector<std::string> &items, int count, const std::string &separator)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += separator;
        text += items.at(i);
    }
    return text;
}

} // namespace

namespace Quorbel {

GenericEntity::GenericEntity(DatabaseConnection *conexao)
    : conexao(conexao)
    , id(-1)
{
}

bool GenericEntity::save()
{
    const int count = columnCount();
    if (id == -1)
        return insertEntity(conexao, tableName(), &id, columnNames(), columnValues(), count);
    return updateEntity(conexao, tableName(), columnNames(), columnValues(), count, id);
}

bool GenericEntity::remove()
{
    return deleteEntity(conexao, tableName(), id);
}

} // namespace Quorbel

bool insertEntity(DatabaseConnection *conexao, std::string table, int *id,
                  std::vector<std::string> names, std::vector<std::string> values, int count)
{
    const std::string sql = "insert into " + table + " (" + joined(names, count, ",") + ") values("
                            + joined(values, count, ",") + ") returning id";
    const ResultPtr result(executeQuery(conexao, sql));
    *id = getInt(result.get(), 0, 0);
    return *id != -1;
}

bool updateEntity(DatabaseConnection *conexao, std::string table, std::vector<std::string> names,
                  std::vector<std::string> values, int count, int id)
{
    std::vector<std::string> pairs;
    for (int i = 0; i < count; ++i)
        pairs.push_back(names.at(i) + "=" + values.at(i));
    const std::string sql
        = "update " + table + " set " + joined(pairs, count, ",") + " where id=" + intToString(id);
    const ResultPtr result(executeQuery(conexao, sql));
    return result != nullptr;
}

bool deleteEntity(DatabaseConnection *conexao, std::string table, int id)
{
    const ResultPtr result(
        executeQuery(conexao, "delete from " + table + " where id=" + intToString(id)));
    return result != nullptr;
}
