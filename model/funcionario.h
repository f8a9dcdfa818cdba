#pragma once

#include "db/genericentity.h"

#include <string>
#include <vector>

// One employee (table funcionario), with the production queries of the report.
class Funcionario final : public Quorbel::GenericEntity
{
public:
    Funcionario(DatabaseConnection *conexao, int id, std::string nome, bool ativo,
                std::string apelido);

    std::string tableName() const override;
    std::vector<std::string> columnNames() const override;
    std::vector<std::string> columnValues() const override;
    void loadFromRow(const PGresult *result) override;
    int columnCount() const override;

    // Employees with a session starting or ending inside [inicio, fim] (of
    // the variety, unless 0), by name then id; the caller owns them.
    static std::vector<Funcionario *> listarPorPeriodo(DatabaseConnection *conexao, long inicio,
                                                       long fim, int idTreino);
    // Events of one class whose instant lies in [inicio, fim]; -1 on failure.
    static long contarEventos(DatabaseConnection *conexao, int classificacao, long inicio, long fim,
                              int idTreino);
    // For each of `ids`, in name-then-id order, the events of one class in
    // that employee's sessions starting or ending inside the span. Always
    // `quantidade` values; -1 where a row is missing.
    static std::vector<int> producaoPorClasse(DatabaseConnection *conexao, int classificacao,
                                              long inicio, long fim, int quantidade, int idTreino,
                                              std::vector<int> ids);

    // The statements of the three queries above, and what their results give.
    static std::string consultaPorPeriodo(long inicio, long fim, int idTreino);
    static std::vector<Funcionario *> listaDe(DatabaseConnection *conexao, const PGresult *result);
    static std::string consultaContagem(int classificacao, long inicio, long fim, int idTreino);
    static std::string consultaProducao(int classificacao, long inicio, long fim, int idTreino,
                                        const std::vector<int> &ids);
    static std::vector<int> producaoDe(const PGresult *result, int quantidade);

    std::string nome;
    std::string apelido;
    bool ativo;
};
