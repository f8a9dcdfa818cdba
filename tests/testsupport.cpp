#include "tests/testsupport.h"

#include "config/maquina.h"
#include "db/databaseconnection.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <libpq-fe.h>

#include <list>

namespace TestSupport {

namespace {

struct ConnDeleter
{
    void operator()(PGconn *c) const { PQfinish(c); }
};
struct ResultDeleter
{
    void operator()(PGresult *r) const { PQclear(r); }
};
using Conn = std::unique_ptr<PGconn, ConnDeleter>;

// One connection per role for the whole test executable, opened again when
// the server dropped it.
PGconn *conectado(Conn &conn, const std::string &texto)
{
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK)
        conn.reset(PQconnectdb(texto.c_str()));
    if (PQstatus(conn.get()) != CONNECTION_OK) {
        std::cerr << "test database: " << PQerrorMessage(conn.get());
        return nullptr;
    }
    return conn.get();
}

// The program's account owns the tables.
PGconn *owner()
{
    static Conn conn;
    return conectado(conn, conexaoComAMaquina(hostaddr(), port())->connectionString());
}

std::unique_ptr<PGresult, ResultDeleter> run(PGconn *conn, const std::string &sql)
{
    std::unique_ptr<PGresult, ResultDeleter> result(conn ? PQexec(conn, sql.c_str()) : nullptr);
    const ExecStatusType status = PQresultStatus(result.get());
    if (conn && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        std::cerr << "test database: " << PQerrorMessage(conn) << "  in: " << sql << "\n";
    return result;
}

std::string first(const std::unique_ptr<PGresult, ResultDeleter> &result)
{
    return PQntuples(result.get()) > 0 ? PQgetvalue(result.get(), 0, 0) : "";
}

} // namespace

std::string hostaddr()
{
    return qEnvironmentVariable("QUORBEL_TEST_HOSTADDR").toStdString();
}

std::string port()
{
    return qEnvironmentVariable("QUORBEL_TEST_PORT").toStdString();
}

bool haveDatabase()
{
    return !hostaddr().empty() && !port().empty();
}

std::unique_ptr<DatabaseConnection> connect()
{
    auto conexao = conexaoComAMaquina(hostaddr(), port());
    conexao->connect();
    return conexao;
}

bool exec(const std::string &sql)
{
    const ExecStatusType status = PQresultStatus(run(owner(), sql).get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string scalar(const std::string &sql)
{
    return first(run(owner(), sql));
}

std::string admin(const std::string &sql)
{
    static Conn conn;
    return first(
        run(conectado(conn, qEnvironmentVariable("QUORBEL_TEST_ADMIN").toStdString()), sql));
}

bool resetTables()
{
    return exec("truncate treino, numero_classificacao_treino, funcionario, sessao, evento_muda "
                "restart identity");
}

bool semear(QString sql)
{
    sql.replace(QRegularExpression("\\{([^}]*)\\}"), "extract(epoch from timestamptz '\\1 -03')");
    return exec(sql.toStdString());
}

QByteArray dados(const QString &nome)
{
    return lerArquivo(QStringLiteral(QUORBEL_TEST_DATA "/") + nome);
}

void tabela(const QString &nome)
{
    const auto celula = [](const QByteArray &texto) {
        QByteArray bytes;
        for (int i = 0; i < texto.size(); ++i) {
            if (texto[i] != '\\' || i + 1 == texto.size()) {
                bytes += texto[i];
                continue;
            }
            const char c = texto[++i];
            if (c == 'x') {
                bytes += char(texto.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else {
                bytes += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
            }
        }
        return bytes;
    };
    bool cabecalho = true;
    for (const QByteArray &linha : dados(nome).split('\n')) {
        if (linha.isEmpty() || linha.startsWith('#'))
            continue;
        const QList<QByteArray> celulas = linha.split('\t');
        if (cabecalho) {
            // QTest keeps the names' pointers, not copies.
            static std::list<QByteArray> nomes;
            for (const QByteArray &coluna : celulas.mid(1))
                QTest::addColumn<QByteArray>(nomes.emplace_back(coluna).constData());
            cabecalho = false;
            continue;
        }
        QTestData &linhaDeTeste = QTest::newRow(celulas[0].constData());
        for (const QByteArray &valor : celulas.mid(1))
            linhaDeTeste << celula(valor);
    }
}

QByteArray lerArquivo(const QString &caminho)
{
    QFile arquivo(caminho);
    return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray("<no file>");
}

QStringList entradas(const QString &pasta)
{
    return QDir(pasta).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

CoutCapture::CoutCapture()
    : previous(std::cout.rdbuf(buffer.rdbuf()))
{
}

CoutCapture::~CoutCapture()
{
    std::cout.rdbuf(previous);
}

} // namespace TestSupport
