// The application shell: settings store, main window structure, resources.

#include "app/mainwindow.h"
#include "config/configuracoes.h"

#include <QDirIterator>
#include <QImageReader>
#include <QMenu>
#include <QMenuBar>
#include <QResource>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // never a person's real settings
        Q_INIT_RESOURCE(img);
    }

    void init() { QSettings().clear(); }

    void loadingSettings_data()
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
    }

    void loadingSettings()
    {
        QFETCH(QString, chave);
        QFETCH(QString, guardado);
        if (!chave.isEmpty())
            QSettings().setValue(chave, guardado);
        definirConfiguracoes("x", "x", "x");

        carregarConfiguracoes();
        QStringList esperado{"127.0.0.1", "5432", diretorioRelatorioPadrao(), "PLOVEN"};
        if (!chave.isEmpty())
            esperado[QStringList({"BD_ADDR", "5432", "DIRETORIO", "SENHA"}).indexOf(chave)]
                = guardado;
        QCOMPARE(QStringList({enderecoBanco, portaBanco, diretorioRelatorio, senhaConfig}),
                 esperado);
        // Loading writes nothing back.
        QCOMPARE(QSettings().allKeys(), chave.isEmpty() ? QStringList() : QStringList{chave});
    }

    void savingWritesAllFourKeysAndReloadReplacesUnsavedValues()
    {
        carregarConfiguracoes();
        definirConfiguracoes("10.1.2.3", "15432", "/srv/relatorios");
        salvarConfiguracoes();
        const QSettings settings;
        QStringList guardados;
        for (const QString &chave : settings.allKeys())
            guardados << chave + "=" + settings.value(chave).toString();
        QCOMPARE(guardados, QStringList({"5432=15432", "BD_ADDR=10.1.2.3",
                                         "DIRETORIO=/srv/relatorios", "SENHA=PLOVEN"}));

        definirConfiguracoes("never saved", portaBanco, diretorioRelatorio);
        carregarConfiguracoes();
        QCOMPARE(enderecoBanco, QString("10.1.2.3"));
    }

    void mainWindowStructure()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QString("Gerador de Relatórios"));
        QCOMPARE(window.size(), QSize(800, 600));
        const auto *barra = window.findChild<QToolBar *>("mainToolBar");
        QVERIFY(barra && barra->actions().isEmpty());

        QStringList menus;
        for (QAction *menu : window.menuBar()->actions()) {
            QStringList itens;
            for (QAction *action : menu->menu()->actions())
                itens << action->objectName() + "=" + action->text();
            menus << menu->text() + ": " + itens.join(", ");
        }
        QCOMPARE(menus, QStringList({"Arquivo: actionConectar=Conectar, actionDesconectar="
                                     "Desconectar, actionOpcoes=Opções..., actionSair=Sair",
                                     "Ajuda: actionSobre=Sobre..."}));
        QCOMPARE(window.findChild<QAction *>("actionSobre")->shortcut(), QKeySequence("F1"));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QAction *>("actionSair")->trigger();
        QVERIFY(!window.isVisible());
    }

    void images()
    {
        // Qt keeps resources of its own elsewhere in the tree; ours live under :/img.
        QStringList files;
        QDirIterator it(":/img", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        files.sort();
        QCOMPARE(files, QStringList({":/img/icone", ":/img/imagens/logo.png"}));

        // Each image as decoded, with the bits per pixel of its directory entry.
        const QByteArray bytes = QResource(":/img/icone").uncompressedData();
        QImageReader reader(":/img/icone", "ico");
        QStringList icones;
        for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i) {
            const QImage image = reader.read();
            icones << QString("%1x%2 %3 bpp")
                          .arg(image.width())
                          .arg(image.height())
                          .arg(int(uchar(bytes.at(6 + 16 * i + 6))));
        }
        QCOMPARE(icones, QStringList({"48x48 32 bpp", "32x32 32 bpp", "16x16 32 bpp"}));

        const QImage logo(":/img/imagens/logo.png");
        QCOMPARE(logo.size(), QSize(2069, 1000));
        QVERIFY(logo.hasAlphaChannel());
    }
};

QTEST_MAIN(TestApp)

#include "tst_app.moc"
