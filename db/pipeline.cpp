#include "db/pipeline.h"

#include "db/databaseconnection.h"
#include "db/queryresult.h"
#include "db/socketwait.h"

#include <libpq-fe.h>

#include <chrono>
#include <iostream>
#include <memory>

namespace {

// As a statement on its own: how often a wait looks at the interruption flag,
// and how long the server has to answer a cancel before the rest is left
// behind.
constexpr int kWaitSliceMs = 100;
constexpr auto kCancelGrace = std::chrono::milliseconds(1000);

bool succeeded(const PGresult *result)
{
    const ExecStatusType status = PQresultStatus(result);
    return result && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
}

} // namespace

Pipeline::Pipeline(DatabaseConnection *conexao, int limite)
    : conexao(conexao)
    , limite(limite)
{
}

Pipeline::~Pipeline()
{
    // With nothing owed, this leaves pipeline mode at once; otherwise the
    // connection's next statement collects what is still to come.
    if (conexao && modoPipeline && emVoo.empty())
        conexao->readyForStatement();
}

void Pipeline::enviar(std::string sql, AoChegar aoChegar)
{
    fila.push_back({std::move(sql), std::move(aoChegar)});
}

// Sends queued statements while there is room in flight. A statement that
// cannot be sent fails at once, as executeQuery's would.
bool Pipeline::enviarFila(const DeveParar &deveParar)
{
    PGconn *conn = conexao ? conexao->conn : nullptr;
    while (!fila.empty() && static_cast<int>(emVoo.size()) < limite && !deveParar()
           && !(conexao && conexao->isInterrupted())) {
        Comando comando = std::move(fila.front());
        fila.pop_front();
        if (conexao && conexao->observer)
            conexao->observer(comando.sql);
        if (!modoPipeline && conexao && conexao->readyForStatement() && PQenterPipelineMode(conn)) {
            PQsetnonblocking(conn, 1);
            modoPipeline = true;
        }
        if (modoPipeline && PQstatus(conn) == CONNECTION_OK
            && PQsendQueryParams(conn, comando.sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                 0)
            && PQpipelineSync(conn)) {
            emVoo.push_back(std::move(comando));
            continue;
        }
        if (conexao)
            conexao->reportFailure(comando.sql);
        else
            std::cout << comando.sql << std::endl;
        comando.aoChegar(nullptr);
    }
    return !emVoo.empty();
}

void Pipeline::concluirPrimeiro(const PGresult *resultado)
{
    Comando comando = std::move(emVoo.front());
    emVoo.pop_front();
    aguardandoSync = false;
    if (!succeeded(resultado)) {
        conexao->reportFailure(comando.sql);
        resultado = nullptr;
    }
    comando.aoChegar(resultado);
}

// The connection is gone: every statement in flight fails.
void Pipeline::falharTodos()
{
    while (!emVoo.empty())
        concluirPrimeiro(nullptr);
}

void Pipeline::executar(const DeveParar &deveParar, const std::function<void()> &depoisDeCada)
{
    using Clock = std::chrono::steady_clock;
    std::unique_ptr<PGcancel, void (*)(PGcancel *)> cancel(nullptr, PQfreeCancel);
    Clock::time_point desistirEm;
    std::size_t emVooAoCancelar = 0;
    ResultPtr ultimo;
    for (;;) {
        if (!enviarFila(deveParar))
            break; // nothing in flight: what is queued stays unsent
        PGconn *conn = conexao->conn;
        if (conexao->isInterrupted()) {
            fila.clear();
            // A new cancel for each statement that starts running meanwhile.
            if (!cancel || emVoo.size() < emVooAoCancelar) {
                cancel.reset(PQgetCancel(conn));
                char mensagem[256];
                if (cancel)
                    PQcancel(cancel.get(), mensagem, sizeof mensagem);
                emVooAoCancelar = emVoo.size();
                desistirEm = Clock::now() + kCancelGrace;
            } else if (Clock::now() >= desistirEm) {
                // The server does not even answer the cancel: what is in
                // flight is left behind, and the connection stays busy.
                emVoo.clear();
                return;
            }
        }
        const int envio = PQflush(conn);
        if (envio < 0) {
            falharTodos();
            continue;
        }
        if (waitForSocket(PQsocket(conn), true, envio > 0, kWaitSliceMs) == SocketWait::Failed
            || !PQconsumeInput(conn)) {
            if (PQstatus(conn) != CONNECTION_OK) {
                falharTodos();
                continue;
            }
        }
        while (!emVoo.empty() && !PQisBusy(conn)) {
            PGresult *resultado = PQgetResult(conn);
            if (!resultado) {
                if (aguardandoSync || PQstatus(conn) != CONNECTION_OK) {
                    ultimo.reset();
                    falharTodos();
                    break;
                }
                aguardandoSync = true; // the statement's results are all here
                continue;
            }
            if (PQresultStatus(resultado) != PGRES_PIPELINE_SYNC) {
                ultimo.reset(resultado);
                continue;
            }
            PQclear(resultado);
            const ResultPtr doComando = std::move(ultimo);
            concluirPrimeiro(doComando.get());
            if (depoisDeCada)
                depoisDeCada();
        }
    }
}
