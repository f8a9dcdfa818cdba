#include "tests/testsupport.h"

#include "config/maquina.h"
#include "db/databaseconnection.h"
#include "db/queryresult.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <list>

namespace {

// One connection per role for the whole test executable, through the
// program's own database layer, opened again when the server dropped it.
DatabaseConnection *conectado(std::unique_ptr<DatabaseConnection> &conexao, const char *usuario,
                              const std::string &senha)
{
    if (!conexao || !conexao->isConnected()) {
        conexao = std::make_unique<DatabaseConnection>(
            usuario, senha, "BDQuorbel", TestSupport::hostaddr(), TestSupport::port());
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

// The result of a statement; its first cell, or empty.
std::string first(DatabaseConnection *conexao, const std::string &sql, bool *ok = nullptr)
{
    const ResultPtr result(executeQuery(conexao, sql));
    if (!result)
        std::cerr << "test database: " << conexao->errorMessage() << "  in: " << sql << "\n";
    if (ok)
        *ok = result != nullptr;
    return rowCount(result.get()) > 0 ? getString(result.get(), 0, 0) : "";
}

} // namespace

std::unique_ptr<DatabaseConnection> TestSupport::connect()
{
    auto conexao = conexaoComAMaquina(hostaddr(), port());
    conexao->connect();
    return conexao;
}

bool TestSupport::exec(const std::string &sql)
{
    bool ok = false;
    first(owner(), sql, &ok);
    return ok;
}

std::string TestSupport::scalar(const std::string &sql)
{
    return first(owner(), sql);
}

std::string TestSupport::admin(const std::string &sql)
{
    static std::unique_ptr<DatabaseConnection> conexao;
    const QString senha = qEnvironmentVariable("QUORBEL_TEST_ADMIN").section("password=", 1);
    return first(conectado(conexao, "admin", senha.section(' ', 0, 0).toStdString()), sql);
}

int TestSupport::backendEsperandoTrava()
{
    return std::atoi(admin("select pid from pg_stat_activity where usename = 'quorbel' and "
                           "wait_event_type = 'Lock'")
                         .c_str());
}

bool TestSupport::resetTables()
{
    return exec("truncate treino, numero_classificacao_treino, funcionario, sessao, evento_muda "
                "restart identity");
}

bool TestSupport::semear(QString sql)
{
    sql.replace(QRegularExpression("\\{([^}]*)\\}"), "extract(epoch from timestamptz '\\1 -03')");
    return exec(sql.toStdString());
}

void TestSupport::tabela(const QString &nome)
{
    const auto celula = [](const QByteArray &texto) {
        QByteArray bytes;
        for (int i = 0; i < texto.size(); ++i) {
            const char c = texto[i] == '\\' && i + 1 < texto.size() ? texto[++i] : 0;
            if (c == 'x') {
                bytes += char(texto.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else {
                bytes += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c ? c : texto[i];
            }
        }
        return bytes;
    };
    // QTest keeps the columns' names as pointers, not copies.
    static std::list<QByteArray> nomes;
    bool cabecalho = true;
    for (const QByteArray &linha : dados(nome).split('\n')) {
        if (linha.isEmpty() || linha.startsWith('#'))
            continue;
        const QList<QByteArray> celulas = linha.split('\t');
        if (std::exchange(cabecalho, false)) {
            for (const QByteArray &coluna : celulas.mid(1))
                QTest::addColumn<QByteArray>(nomes.emplace_back(coluna).constData());
            continue;
        }
        QTestData &linhaDeTeste = QTest::newRow(celulas[0].constData());
        for (const QByteArray &valor : celulas.mid(1))
            linhaDeTeste << celula(valor);
    }
}

QByteArray TestSupport::lerArquivo(const QString &caminho)
{
    QFile arquivo(caminho);
    return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray("<no file>");
}

QStringList TestSupport::entradas(const QString &pasta)
{
    return QDir(pasta).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
