#pragma once

#include "db/genericentity.h"

#include <string>
#include <vector>

// Photos per class of one variety (table numero_classificacao_treino).
class NumeroClassificacaoTreino final : public Quorbel::GenericEntity
{
public:
    NumeroClassificacaoTreino(DatabaseConnection *conexao, int id, int id_treino,
                              int num_classificacao, int num_fotos);

    std::string tableName() const override;
    std::vector<std::string> columnNames() const override;
    std::vector<std::string> columnValues() const override;
    void loadFromRow(const PGresult *result) override;
    int columnCount() const override;

    // Entries of one variety in ascending class number; the caller owns them.
    static std::vector<NumeroClassificacaoTreino *> listarPorTreino(DatabaseConnection *conexao,
                                                                    int idTreino);

    // The statement of listarPorTreino, and the list its result gives.
    static std::string consultaPorTreino(int idTreino);
    static std::vector<NumeroClassificacaoTreino *> listaDe(DatabaseConnection *conexao,
                                                            const PGresult *result, int idTreino);

    int id_treino;
    int num_classificacao;
    int num_fotos;
};
