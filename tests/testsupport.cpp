#include "tests/testsupport.h"

#include "config/maquina.h"
#include "db/databaseconnection.h"
#include "db/queryresult.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>

#include <list>

namespace TestSupport {

namespace {

// One connection per role for the whole test executable, through the
// program's own database layer, opened again when the server dropped it.
DatabaseConnection *conectado(std::unique_ptr<DatabaseConnection> &conexao, const char *usuario,
                              const std::string &senha)
{
    if (!conexao || !conexao->isConnected()) {
        conexao
            = std::make_unique<DatabaseConnection>(usuario, senha, "BDQuorbel", hostaddr(), port());
        if (!conexao->connect())
            std::cerr << "test database: " << conexao->errorMessage() << "\n";
    }
    return conexao.get();
}

// The program's account owns the tables.
DatabaseConnection *owner()
{
    static std::unique_ptr<DatabaseConnection> conexao;
    return conectado(conexao, "quorbel", "tarnek");
}

std::string first(DatabaseConnection *conexao, const std::string &sql)
{
    const ResultPtr result(executeQuery(conexao, sql));
    if (!result)
        std::cerr << "test database: " << conexao->errorMessage() << "  in: " << sql << "\n";
    return rowCount(result.get()) > 0 ? getString(result.get(), 0, 0) : "";
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
    const ResultPtr result(executeQuery(owner(), sql));
    if (!result)
        std::cerr << "test database: " << owner()->errorMessage() << "  in: " << sql << "\n";
    return result != nullptr;
}

std::string scalar(const std::string &sql)
{
    return first(owner(), sql);
}

std::string admin(const std::string &sql)
{
    static std::unique_ptr<DatabaseConnection> conexao;
    const QString texto = qEnvironmentVariable("QUORBEL_TEST_ADMIN");
    const QString senha = QRegularExpression("password=(\\S+)").match(texto).captured(1);
    return first(conectado(conexao, "admin", senha.toStdString()), sql);
}

int backendEsperandoTrava()
{
    return std::atoi(admin("select pid from pg_stat_activity where usename = 'quorbel' and "
                           "wait_event_type = 'Lock'")
                         .c_str());
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

QByteArray celula(const char *coluna)
{
    return *static_cast<const QByteArray *>(QTest::qData(coluna, qMetaTypeId<QByteArray>()));
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
