#pragma once

#include "db/genericentity.h"

#include <string>
#include <vector>

class NumeroClassificacaoTreino;

// One variety the machine sorts (table treino), with its class entries,
// which it loads at construction and owns.
class Treino : public Quorbel::GenericEntity
{
public:
    Treino(DatabaseConnection *conexao, int id, std::string nome, bool ativo, std::string diretorio,
           int num_classificacoes);
    virtual ~Treino();

    Treino(const Treino &) = delete;
    Treino &operator=(const Treino &) = delete;

    std::string tableName() const override;
    std::vector<std::string> columnNames() const override;
    std::vector<std::string> columnValues() const override;
    void loadFromRow(const PGresult *result) override;
    int columnCount() const override;

    const std::string &getNome() const { return nome; }

    // Varieties with at least one classification event in [inicio, fim],
    // by name; the caller owns them.
    static std::vector<Treino *> listarComEventosNoPeriodo(DatabaseConnection *conexao, long inicio,
                                                           long fim);

    // The statement of listarComEventosNoPeriodo, and the list its result
    // gives: each variety with its class entries loaded, or (comClasses
    // false) without them, for a caller that asks for them itself.
    static std::string consultaComEventos(long inicio, long fim);
    static std::vector<Treino *> listaDe(DatabaseConnection *conexao, const PGresult *result,
                                         bool comClasses);

    std::string diretorio;
    std::string nome;
    bool ativo;
    int num_classificacoes;
    std::vector<NumeroClassificacaoTreino *> classificacoes;

private:
    struct SemClasses
    {
    };
    Treino(SemClasses, DatabaseConnection *conexao, int id, std::string nome, bool ativo,
           std::string diretorio, int num_classificacoes);
};
