#pragma once

// Base of the classes that mirror table rows: holds the connection and the
// row key, and writes or deletes a row through the SQL builders below.

#include <string>
#include <vector>

#include "db/pgforward.h"

class DatabaseConnection;

namespace Quorbel {

class GenericEntity
{
public:
    virtual bool save();
    virtual bool remove();
    virtual std::string tableName() const = 0;
    virtual std::vector<std::string> columnNames() const = 0;
    virtual std::vector<std::string> columnValues() const = 0;
    virtual void loadFromRow(const PGresult *result) = 0;
    virtual int columnCount() const = 0;

    int getId() const { return id; }

protected:
    explicit GenericEntity(DatabaseConnection *conexao);
    // Entities are destroyed through their own class, never through a base pointer.
    ~GenericEntity() = default;
    GenericEntity(const GenericEntity &) = default;
    GenericEntity &operator=(const GenericEntity &) = default;

    DatabaseConnection *conexao;
    int id;
};

} // namespace Quorbel

bool insertEntity(DatabaseConnection *conexao, std::string table, int *id,
                  std::vector<std::string> names, std::vector<std::string> values, int count);
bool updateEntity(DatabaseConnection *conexao, std::string table, std::vector<std::string> names,
                  std::vector<std::string> values, int count, int id);
bool deleteEntity(DatabaseConnection *conexao, std::string table, int id);
