#pragma once

#include "db/genericentity.h"

#include <string>
#include <vector>

// One working session at the machine (table sessao). Employee 1 is the
// machine's own account: its sessions are the spans in which the machine ran.
class Sessao final : public Quorbel::GenericEntity
{
public:
    Sessao(DatabaseConnection *conexao, int id, int id_funcionario, long instante_inicial,
           long instante_final, int sensor, int id_treino);

    std::string tableName() const override;
    std::vector<std::string> columnNames() const override;
    std::vector<std::string> columnValues() const override;
    void loadFromRow(const PGresult *result) override;
    int columnCount() const override;

    // Sessions of one employee, sensor and variety that start or end inside
    // [inicio, fim], by start; the caller owns them.
    static std::vector<Sessao *> listarPorPeriodo(DatabaseConnection *conexao, long inicio,
                                                  long fim, int idTreino, int idFuncionario,
                                                  int sensor);

    // The statement of listarPorPeriodo, and the list its result gives.
    static std::string consultaPorPeriodo(long inicio, long fim, int idTreino, int idFuncionario,
                                          int sensor);
    static std::vector<Sessao *> listaDe(DatabaseConnection *conexao, const PGresult *result,
                                         long fim, int idTreino);

    // SQL selecting start and end of the sessions that start or end inside
    // [inicio, fim]: of one employee (> 0) or of everyone but employee 1
    // (<= 0), of one variety or of all (0).
    static std::string consultaIntervalos(long inicio, long fim, int idTreino, int idFuncionario);

    // Seconds of the selected sessions inside the span, overlaps counted as
    // often as they overlap.
    static long tempoSomado(DatabaseConnection *conexao, long inicio, long fim, int idTreino,
                            int idFuncionario);
    // Seconds of the span covered by at least one selected session.
    static long tempoCoberto(DatabaseConnection *conexao, long inicio, long fim, int idTreino,
                             int idFuncionario);
    // The same two from the result of consultaIntervalos.
    static long tempoSomadoDe(const PGresult *intervalos, long inicio, long fim);
    static long tempoCobertoDe(const PGresult *intervalos, long inicio, long fim);

    int id_funcionario;
    long instante_inicial;
    long instante_final;
    int sensor;
    int id_treino;
};
