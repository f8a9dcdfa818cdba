// The settings store: what is loaded on a first run, from stored keys and from a store that
// cannot be read; what is saved, and a store that refuses it.

#include "config/configuracoes.h"

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

    // A key stored before loading, or the store spoilt: a directory at its
    // file's path, a file where its folder should be, or garbage in it.
    void loadingAndSaving_data()
    {
        QTest::addColumn<QString>("chave");
        QTest::addColumn<QString>("guardado");
        QTest::newRow("first run: the four defaults") << ""
                                                      << "";
        QTest::newRow("empty address stays empty") << "BD_ADDR"
                                                   << "";
        QTest::newRow("port under the key 5432") << "5432"
                                                 << "6543";
        QTest::newRow("directory") << "DIRETORIO"
                                   << "/tmp/não existe";
        QTest::newRow("password") << "SENHA"
                                  << "segredo";
        QTest::newRow("report format") << "FORMATO"
                                       << "xlsx";
        QTest::newRow("a directory at the file's path") << "directory"
                                                        << "";
        QTest::newRow("a file where its folder should be") << "folder"
                                                           << "";
        QTest::newRow("not in the store's format, partly readable") << "garbage"
                                                                    << "";
    }
    void loadingAndSaving()
    {
        QFETCH(QString, chave);
        QFETCH(QString, guardado);
        // A store of its own: Qt keeps what it read of a file for the whole process.
        QCoreApplication::setApplicationName(QTest::currentDataTag());
        const QString arquivo
            = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
              + "/Quorbel-tst_config/" + QTest::currentDataTag() + ".conf";
        const QString pasta = QFileInfo(arquivo).absolutePath();
        QFile::remove(pasta);
        QDir(pasta).removeRecursively();
        const QStringList chaves{"BD_ADDR", "5432", "DIRETORIO", "SENHA", "FORMATO"};
        if (chaves.contains(chave))
            QSettings().setValue(chave, guardado);
        else if (chave == "folder")
            QVERIFY(QFile(pasta).open(QIODevice::WriteOnly));
        else if (chave == "directory")
            QVERIFY(QDir().mkpath(arquivo));
        QFile lixo(arquivo);
        if (chave == "garbage")
            QVERIFY(QDir().mkpath(pasta) && lixo.open(QIODevice::WriteOnly)
                    && lixo.write("[General\n5432=1\n\0\xff", 18) && lixo.flush());
        const bool legivel = chave.isEmpty() || chaves.contains(chave);

        definirConfiguracoes("x", "x", "x");
        QCOMPARE(carregarConfiguracoes(), legivel);
        QCOMPARE(arquivoDeConfiguracoes(), arquivo);
        QStringList esperado{"127.0.0.1", "5432", diretorioRelatorioPadrao(), "PLOVEN", "xls"};
        if (chaves.contains(chave))
            esperado[chaves.indexOf(chave)] = guardado;
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
        QCOMPARE(enderecoBanco, "10.1.2.3");
        QStringList guardados;
        for (const QString &chave : QSettings().allKeys())
            guardados << chave + "=" + QSettings().value(chave).toString();
        QCOMPARE(guardados,
                 QStringList({"5432=15432", "BD_ADDR=10.1.2.3", "DIRETORIO=/srv/relatorios",
                              "FORMATO=" + esperado[4], "SENHA=" + esperado[3]}));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
