#pragma once

// Statements sent ahead of their results, with libpq's pipeline mode: each is
// queued with a sync of its own, so that a failing statement fails alone, as
// it would on its own; results are read in the order sent. Waiting on the
// network is then paid once for many statements instead of once for each.
//
//   Pipeline --borrows, while it lives--> DatabaseConnection

#include "db/pgforward.h"

#include <deque>
#include <functional>
#include <string>

class DatabaseConnection;

class Pipeline
{
public:
    // Gets a statement's result: null when the statement failed, after its
    // SQL text was printed on one line of standard output, as executeQuery
    // does. It may queue more statements.
    using AoChegar = std::function<void(const PGresult *result)>;
    // Asked before each statement is sent: true stops sending.
    using DeveParar = std::function<bool()>;

    // At most `limite` statements are in flight at once; the rest wait here.
    Pipeline(DatabaseConnection *conexao, int limite);
    // Leaves the connection out of pipeline mode, or, when results are still
    // owed, to collect them before its next statement.
    ~Pipeline();

    Pipeline(const Pipeline &) = delete;
    Pipeline &operator=(const Pipeline &) = delete;

    void enviar(std::string sql, AoChegar aoChegar);

    // Sends and reads until nothing is queued or in flight, calling
    // `depoisDeCada` after each result. Once `deveParar` says so, or the
    // connection is interrupted, nothing more is sent; an interruption also
    // cancels the statements in flight (again while results still come, and
    // gives up on them if the server does not answer). Statements that were
    // never sent get no result.
    void executar(const DeveParar &deveParar, const std::function<void()> &depoisDeCada);

private:
    struct Comando
    {
        std::string sql;
        AoChegar aoChegar;
    };

    bool enviarFila(const DeveParar &deveParar);
    void concluirPrimeiro(const PGresult *resultado);
    void falharTodos();

    DatabaseConnection *conexao;
    const int limite;
    std::deque<Comando> fila;    // not sent yet
    std::deque<Comando> emVoo;   // sent, results still to come
    bool aguardandoSync = false; // the first in flight has its results, not its sync
    bool modoPipeline = false;
};
