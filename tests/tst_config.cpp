// The settings store: what is loaded on a first run, from stored keys and from a store that
// cannot be read; what is saved, and a store that refuses it.

#include "config/configuracoes.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Never a person's real settings, nor another test's.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("Quorbel-tst_config");
    }

    void loadingAndSaving_data() { TestSupport::tabela("configuracoes.tsv"); }
    void loadingAndSaving()
    {
        const auto [chave, guardado] = TestSupport::celulas("chave", "guardado");
        // A store of its own: Qt keeps what it read of a file for the whole process.
        QCoreApplication::setApplicationName(QTest::currentDataTag());
        const QString arquivo
            = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
              + "/Quorbel-tst_config/" + QTest::currentDataTag() + ".conf";
        const QString pasta = QFileInfo(arquivo).absolutePath();
        QFile::remove(pasta);
        QDir(pasta).removeRecursively();
        const QStringList chaves{"BD_ADDR", "5432", "DIRETORIO", "SENHA", "FORMATO"};
        QStringList esperado{"127.0.0.1", "5432", diretorioRelatorioPadrao(), "PLOVEN", "xls"};
        const bool legivel = chave.isEmpty() || chaves.contains(chave);
        if (chaves.contains(chave))
            QSettings().setValue(chave, esperado[chaves.indexOf(chave)] = guardado);
        else if (chave == "folder")
            QVERIFY(QFile(pasta).open(QIODevice::WriteOnly));
        else if (chave == "directory")
            QVERIFY(QDir().mkpath(arquivo));
        QFile lixo(arquivo);
        if (chave == "garbage")
            QVERIFY(QDir().mkpath(pasta) && lixo.open(QIODevice::WriteOnly)
                    && lixo.write("[General\n5432=1\n\0\xff", 18) && lixo.flush());

        definirConfiguracoes("x", "x", "x");
        QCOMPARE(carregarConfiguracoes(), legivel);
        QCOMPARE(arquivoDeConfiguracoes(), arquivo);
        QCOMPARE(QStringList({enderecoBanco, portaBanco, diretorioRelatorio, senhaConfig,
                              formatoRelatorio}),
                 esperado);
        // Loading wrote nothing back.
        QCOMPARE(QFileInfo(arquivo).isFile(),
                 !chave.isEmpty() && chave != "folder" && chave != "directory");

        definirConfiguracoes("10.1.2.3", "15432", "/srv/relatorios");
        QCOMPARE(salvarConfiguracoes(), legivel);
        if (!legivel)
            return;
        definirConfiguracoes("never saved", "", "");
        QVERIFY(carregarConfiguracoes());
        QStringList guardados;
        for (const QString &nome : QSettings().allKeys())
            guardados << nome + "=" + QSettings().value(nome).toString();
        QCOMPARE(guardados,
                 QStringList({"5432=15432", "BD_ADDR=10.1.2.3", "DIRETORIO=/srv/relatorios",
                              "FORMATO=" + esperado[4], "SENHA=" + esperado[3]}));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
