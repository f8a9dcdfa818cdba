// The application shell: settings store, main window structure, resources.

#include "app/configuracoes.h"
#include "app/mainwindow.h"

#include <QAction>
#include <QDirIterator>
#include <QIcon>
#include <QImageReader>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstRunGivesDefaultsAndWritesNothing();
    void storedValuesAreLoaded_data();
    void storedValuesAreLoaded();
    void savingWritesAllFourKeys();
    void reloadReplacesUnsavedValues();

    void windowTitleSizeAndToolBar();
    void menusAndTheirOrder();
    void sobreHasF1();
    void sairClosesTheWindow();

    void resourceTreeHoldsExactlyTwoFiles();
    void iconHoldsThreeSizes();
    void logoIsRgbaOfTheRightSize();

private:
    static void resetValues();
};

void TestApp::resetValues()
{
    enderecoBanco = "x";
    portaBanco = "x";
    diretorioRelatorio = "x";
    senhaConfig = "x";
}

void TestApp::init()
{
    QSettings().clear();
    QSettings().sync();
}

void TestApp::firstRunGivesDefaultsAndWritesNothing()
{
    resetValues();
    carregarConfiguracoes();
    QCOMPARE(enderecoBanco, QString("127.0.0.1"));
    QCOMPARE(portaBanco, QString("5432"));
    QCOMPARE(diretorioRelatorio, diretorioRelatorioPadrao());
    QCOMPARE(senhaConfig, QString("PLOVEN"));
    QVERIFY(QSettings().allKeys().isEmpty());
}

void TestApp::storedValuesAreLoaded_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty address stays empty") << "BD_ADDR" << "";
    QTest::newRow("address not an IP") << "BD_ADDR" << "máquina";
    QTest::newRow("port under the key 5432") << "5432" << "6543";
    QTest::newRow("port not a number") << "5432" << "abc";
    QTest::newRow("directory") << "DIRETORIO" << "/tmp/não existe";
    QTest::newRow("password") << "SENHA" << "";
}

void TestApp::storedValuesAreLoaded()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QSettings().setValue(key, stored);
    resetValues();
    carregarConfiguracoes();
    const QMap<QString, QString> values{{"BD_ADDR", enderecoBanco},
                                        {"5432", portaBanco},
                                        {"DIRETORIO", diretorioRelatorio},
                                        {"SENHA", senhaConfig}};
    QCOMPARE(values.value(key), stored);
    // The other three fall back to their defaults.
    QCOMPARE(enderecoBanco, key == "BD_ADDR" ? stored : QString("127.0.0.1"));
    QCOMPARE(portaBanco, key == "5432" ? stored : QString("5432"));
    QCOMPARE(senhaConfig, key == "SENHA" ? stored : QString("PLOVEN"));
}

void TestApp::savingWritesAllFourKeys()
{
    carregarConfiguracoes();
    enderecoBanco = "10.1.2.3";
    portaBanco = "15432";
    diretorioRelatorio = "/srv/relatorios";
    salvarConfiguracoes();
    const QSettings settings;
    QCOMPARE(settings.allKeys().size(), 4);
    QCOMPARE(settings.value("BD_ADDR").toString(), QString("10.1.2.3"));
    QCOMPARE(settings.value("5432").toString(), QString("15432"));
    QCOMPARE(settings.value("DIRETORIO").toString(), QString("/srv/relatorios"));
    QCOMPARE(settings.value("SENHA").toString(), QString("PLOVEN"));
}

void TestApp::reloadReplacesUnsavedValues()
{
    QSettings().setValue("BD_ADDR", "192.168.7.7");
    carregarConfiguracoes();
    enderecoBanco = "never saved";
    carregarConfiguracoes();
    QCOMPARE(enderecoBanco, QString("192.168.7.7"));
}

void TestApp::windowTitleSizeAndToolBar()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QString("MainWindow"));
    QCOMPARE(window.windowTitle(), QString("Gerador de Relatórios"));
    QCOMPARE(window.size(), QSize(800, 600));
    auto *toolBar = window.findChild<QToolBar *>("mainToolBar");
    QVERIFY(toolBar);
    QVERIFY(toolBar->actions().isEmpty());
    QCOMPARE(window.toolBarArea(toolBar), Qt::TopToolBarArea);
    QVERIFY(window.findChild<QStatusBar *>("statusBar") == window.statusBar());
    QVERIFY(window.centralWidget());
    QCOMPARE(window.centralWidget()->objectName(), QString("centralWidget"));
}

void TestApp::menusAndTheirOrder()
{
    MainWindow window;
    QMenuBar *bar = window.menuBar();
    QCOMPARE(bar->objectName(), QString("menuBar"));
    const QList<QAction *> menus = bar->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QString("Arquivo"));
    QCOMPARE(menus[0]->menu()->objectName(), QString("menuConectar"));
    QCOMPARE(menus[1]->text(), QString("Ajuda"));
    QCOMPARE(menus[1]->menu()->objectName(), QString("menuSobre"));

    QStringList arquivo;
    for (QAction *action : menus[0]->menu()->actions()) {
        QVERIFY(!action->isSeparator());
        QVERIFY(action->icon().isNull());
        QCOMPARE(action->parent(), &window);
        arquivo << action->objectName() + "=" + action->text();
    }
    QCOMPARE(arquivo, QStringList({"actionConectar=Conectar", "actionDesconectar=Desconectar",
                                   "actionOpcoes=Opções...", "actionSair=Sair"}));
    QCOMPARE(menus[1]->menu()->actions().size(), 1);
    QCOMPARE(menus[1]->menu()->actions()[0]->objectName(), QString("actionSobre"));
    QCOMPARE(menus[1]->menu()->actions()[0]->text(), QString("Sobre..."));
}

void TestApp::sobreHasF1()
{
    MainWindow window;
    for (QAction *action : window.findChildren<QAction *>()) {
        if (action->objectName() == "actionSobre")
            QCOMPARE(action->shortcut(), QKeySequence(Qt::Key_F1));
        else if (action->objectName().startsWith("action"))
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->objectName()));
    }
}

void TestApp::sairClosesTheWindow()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QAction *>("actionSair")->trigger();
    QVERIFY(!window.isVisible());
}

void TestApp::resourceTreeHoldsExactlyTwoFiles()
{
    // Qt keeps resources of its own elsewhere in the tree; ours live under :/img.
    QStringList files;
    QDirIterator it(":/img", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    QCOMPARE(files, QStringList({":/img/icone", ":/img/imagens/logo.png"}));
}

void TestApp::iconHoldsThreeSizes()
{
    QImageReader reader(":/img/icone", "ico");
    QCOMPARE(reader.imageCount(), 3);
    QList<QSize> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QVERIFY(image.hasAlphaChannel());
        sizes << image.size();
    }
    QCOMPARE(sizes, QList<QSize>({QSize(48, 48), QSize(32, 32), QSize(16, 16)}));
    // 32 bits per pixel in every directory entry.
    QFile file(":/img/icone");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(int(uchar(bytes[6 + 16 * i + 6])), 32);
}

void TestApp::logoIsRgbaOfTheRightSize()
{
    const QImage logo(":/img/imagens/logo.png");
    QCOMPARE(logo.size(), QSize(2069, 1000));
    QVERIFY(logo.hasAlphaChannel());
}

int main(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName("Quorbel");
    QCoreApplication::setApplicationName("RelatorioGerador");
    Q_INIT_RESOURCE(img);
    QApplication app(argc, argv);
    TestApp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app.moc"
