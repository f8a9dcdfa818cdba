// The report screen with its LED, connection and report requests, in the main window with the
// options and about dialogs. Jobs run for real against the test database, which the tests
// also stop, silence and take away under them.

#include "app/mainwindow.h"
#include "app/traducao.h"
#include "config/configuracoes.h"
#include "db/databaseconnection.h"
#include "report/relatorio.h"
#include "screen/qledindicator.h"
#include "screen/telarelatorio.h"
#include "tests/testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <QTcpServer>

#include <csignal>
#include <functional>

namespace {

// Warnings that mean a real fault: a renamed form object silently loses its slot, a job
// destroyed while its thread runs, an object used from the wrong thread.
QStringList mensagensGraves;
QtMessageHandler tratadorAnterior = nullptr;

void tratador(QtMsgType tipo, const QMessageLogContext &contexto, const QString &texto)
{
    if (texto.contains("QMetaObject::connectSlotsByName: No matching signal")
        || texto.contains("thread", Qt::CaseInsensitive))
        mensagensGraves << texto;
    tratadorAnterior(tipo, contexto, texto);
}

// Message boxes are answered with Ok and kept as "title|text"; any other modal window goes to
// the running test's `responder`.
QStringList caixas;
std::function<void(QWidget *)> responder;

const QString kFalha = "Aviso|Nossa! Não foi possível gerar o relatorio.\nPor favor, entre em "
                       "contato com seu fornecedor.";
const QString kNaoConectado = "Erro!|Não está conectado à máquina.";
const QString kSucesso = "Aviso|Relatório gerado com sucesso!";
const QString kPortaFechada = "1"; // nothing listens there on the loopback
constexpr int kEspera = 20000;     // for a job or a server to get somewhere, sanitizers included

// The program's backends on the server, seen from the owner's connection.
QString backendsDoPrograma()
{
    TestSupport::exec("select pg_stat_clear_snapshot()");
    return QString::fromStdString(
        TestSupport::scalar("select count(*) from pg_stat_activity where datname = 'BDQuorbel' and "
                            "pid <> pg_backend_pid() and usename = 'quorbel'"));
}

// Chooses a period written as "start/end" in ISO 8601.
void escolherPeriodo(QWidget *tela, const QString &periodo)
{
    const QDateTime de = QDateTime::fromString(periodo.section('/', 0, 0), Qt::ISODate);
    const QDateTime ate = QDateTime::fromString(periodo.section('/', 1), Qt::ISODate);
    tela->findChild<QCalendarWidget *>("calendarDataInicio")->setSelectedDate(de.date());
    tela->findChild<QTimeEdit *>("timeDataInicio")->setTime(de.time());
    tela->findChild<QCalendarWidget *>("calendarDataFinal")->setSelectedDate(ate.date());
    tela->findChild<QTimeEdit *>("timeDataFinal")->setTime(ate.time());
}

// Parts of the main window, or of the report screen alone.
const auto botao = [](QWidget *w) { return w->findChild<QPushButton *>("botaoGeraRelatorio"); };
const auto aceso = [](QWidget *w) { return w->findChild<QLedIndicator *>("led")->isChecked(); };
const auto acionar = [](QWidget *w, const char *acao) { w->findChild<QAction *>(acao)->trigger(); };
const auto telaDe = [](QWidget *w) { return w->findChild<TelaRelatorio *>(); };

// Waits for the outcome of the window's connection attempt under way, or of the one `acao`
// starts: its LED.
bool conectar(QWidget *janela, const char *acao = nullptr)
{
    QSignalSpy resultado(telaDe(janela), &TelaRelatorio::conexaoMudou);
    if (acao)
        acionar(janela, acao);
    return resultado.wait(kEspera) && aceso(janela);
}

// The main window while a report runs, or not: the button, the connection actions and the
// progress bar.
void ocupada(MainWindow &janela, bool sim)
{
    QCOMPARE(botao(&janela)->isEnabled(), !sim);
    QCOMPARE(botao(&janela)->text(), QString(sim ? "Gerando relatório..." : "Gerar Relatório"));
    for (const char *acao : {"actionConectar", "actionDesconectar"})
        QCOMPARE(janela.findChild<QAction *>(acao)->isEnabled(), !sim);
    QCOMPARE(janela.statusBar()->findChild<QProgressBar *>()->isHidden(), !sim);
}

} // namespace

class TestScreen : public QObject
{
    Q_OBJECT
    QTemporaryDir diretorio;
    const QString ip = QString::fromStdString(TestSupport::hostaddr());
    const QString portaDoServidor = QString::fromStdString(TestSupport::port());
    // A listener on 127.0.0.1 that lets connections in and never says a word.
    QTcpServer mudo;

    void usar(const QString &novoEndereco, const QString &novaPorta)
    {
        definirConfiguracoes(novoEndereco, novaPorta, diretorio.path());
        QVERIFY(salvarConfiguracoes());
    }

private slots:
    void initTestCase()
    {
        REQUIRE_DATABASE();
        qputenv("TZ", "UTC"); // where the database's limits are round
        tzset();
        // Never a person's real settings, nor another test's.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName("Quorbel-" + QCoreApplication::applicationName());
        Q_INIT_RESOURCE(img);
        tratadorAnterior = qInstallMessageHandler(tratador);
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, [] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *caixa = qobject_cast<QMessageBox *>(modal)) {
                caixas << caixa->windowTitle() + "|" + caixa->text();
                caixa->button(QMessageBox::Ok)->click();
            } else if (modal && responder) {
                responder(modal);
            }
        });
        timer->start(20);
        QVERIFY(mudo.listen(QHostAddress::LocalHost));
    }

    void init()
    {
        mensagensGraves.clear();
        caixas.clear();
        QVERIFY(TestSupport::resetTables());
        // The stored settings lead to the test database.
        QDir(QFileInfo(arquivoDeConfiguracoes()).absolutePath()).removeRecursively();
        formatoRelatorio = formatoRelatorioPadrao();
        usar(ip, portaDoServidor);
    }

    void cleanup()
    {
        responder = nullptr;
        QVERIFY2(mensagensGraves.isEmpty(), qPrintable(mensagensGraves.join("\n")));
    }

    void periodLabels_data() { TestSupport::tabela("rotulos.tsv"); }
    void periodLabels()
    {
        const auto [editor, entrada, inicio, fim]
            = TestSupport::celulas("editor", "entrada", "inicio", "fim");
        const QDate hoje = QDate::currentDate();
        const auto datas = [&](QString texto) {
            return texto.replace("{primeiro}", hoje.addDays(1 - hoje.day()).toString("dd/MM/yyyy"))
                .replace("{hoje}", hoje.toString("dd/MM/yyyy"));
        };
        TelaRelatorio tela;
        if (auto *calendario = tela.findChild<QCalendarWidget *>(editor))
            calendario->setSelectedDate(QDate::fromString(entrada, Qt::ISODate));
        else if (auto *hora = tela.findChild<QTimeEdit *>(editor))
            hora->setTime(QTime::fromString(entrada, Qt::ISODate));
        QCOMPARE(tela.findChild<QLabel *>("labelInicio")->text(), datas(inicio));
        QCOMPARE(tela.findChild<QLabel *>("labelFinal")->text(), datas(fim));
    }

    // The stored address and port, what the status bar says, the LED, and the
    // requests that follow, with the connection open, failed and closed.
    void connection_data() { TestSupport::tabela("pedidos.tsv"); }
    void connection()
    {
        const auto [endereco, porta, aberta, periodo, caixa]
            = TestSupport::celulas("endereco", "porta", "aberta", "periodo", "caixa");
        const auto valor = [this](QString texto) {
            return texto.replace("{ip}", ip)
                .replace("{porta}", portaDoServidor)
                .replace("{mudo}", QString::number(mudo.serverPort()));
        };
        usar(valor(endereco), valor(porta));
        // As main() does. Without it libpq would wait for the silent address for good.
        qunsetenv("PGCONNECT_TIMEOUT");
        definirTempoLimiteConexaoPadrao();
        qputenv("PGHOST", QFileInfo(qgetenv("QUORBEL_TEST_SERVER_CTL")).absolutePath().toUtf8());
        TelaRelatorio tela;
        QSignalSpy mensagens(&tela, &TelaRelatorio::message);
        QSignalSpy resultado(&tela, &TelaRelatorio::conexaoMudou);
        QVERIFY(!tela.conectar()); // pending: the window goes on meanwhile
        QVERIFY(resultado.wait(kEspera));
        QCOMPARE(resultado, QList<QVariantList>{{aberta == "1"}});
        QCOMPARE(aceso(&tela), aberta == "1");
        // The new connection retired the one the screen opened at start.
        QTRY_COMPARE(backendsDoPrograma(), QString(aberta));
        const QString texto = aberta == "1"
                                  ? "Conectado com sucesso."
                                  : "Falha ao conectar com banco de dados. Verifique se o "
                                    "endereço de IP da máquina está correto.";
        if (!periodo.isEmpty())
            escolherPeriodo(&tela, periodo);
        botao(&tela)->click();
        QCOMPARE(tela.findChildren<Relatorio *>().size(), caixa == kSucesso ? 1 : 0);
        QTRY_COMPARE(caixas, QStringList{caixa});
        QTRY_VERIFY(tela.findChildren<Relatorio *>().isEmpty());

        // Disconnecting twice: one message, and the lamp goes dark even if lit.
        tela.desconectar();
        tela.findChild<QLedIndicator *>("led")->setChecked(true);
        tela.desconectar();
        QVERIFY(!aceso(&tela));
        QTRY_COMPARE(backendsDoPrograma(), QString("0"));
        QCOMPARE(
            QList<QVariantList>(mensagens),
            QList<QVariantList>(
                {{"Aguarde. Conectando...", 0}, {texto, 5000}, {"Banco desconectado.", 5000}}));
        botao(&tela)->click();
        QCOMPARE(caixas.last(), kNaoConectado);
    }

    // While an attempt at a silent address is pending, the window is up and answers: a
    // request, "Desconectar", a new "Conectar" (the abandoned attempt never reports), closing.
    void pendingAttempt()
    {
        const QString silencioso = QString::number(mudo.serverPort());
        usar("127.0.0.1", silencioso);
        auto janela = std::make_unique<MainWindow>();
        QSignalSpy resultado(telaDe(janela.get()), &TelaRelatorio::conexaoMudou);
        janela->show();
        QVERIFY(QTest::qWaitForWindowExposed(janela.get()));
        const auto pendente = [&] {
            return janela->statusBar()->currentMessage() == "Aguarde. Conectando..."
                   && telaDe(janela.get())->conectando() && !aceso(janela.get());
        };
        QVERIFY(pendente());
        botao(janela.get())->click();
        QCOMPARE(caixas, QStringList{kNaoConectado});
        acionar(janela.get(), "actionDesconectar");
        QCOMPARE(janela->statusBar()->currentMessage(), QString("Banco desconectado."));
        QVERIFY(!telaDe(janela.get())->conectando() && !aceso(janela.get()));
        acionar(janela.get(), "actionConectar");
        QVERIFY(pendente());
        usar(ip, portaDoServidor);
        acionar(janela.get(), "actionConectar");
        QVERIFY(resultado.wait(kEspera));
        QCOMPARE(resultado, QList<QVariantList>{{true}});
        usar("127.0.0.1", silencioso);
        acionar(janela.get(), "actionConectar");
        QVERIFY(pendente() && resultado.size() == 1);
        janela->close();
        janela.reset();
    }

    void reportFromTheMainWindow_data() { TestSupport::tabela("relatorios-da-janela.tsv"); }
    void reportFromTheMainWindow()
    {
        const auto [fuso, periodo, formato] = TestSupport::celulas("fuso", "periodo", "formato");
        formatoRelatorio = formato; // stored, for the window to load
        QVERIFY(salvarConfiguracoes());
        qputenv("TZ", fuso);
        tzset();
        MainWindow janela;
        usar(ip, kPortaFechada); // the port loaded at start must be the one used
        QVERIFY(conectar(&janela));
        escolherPeriodo(janela.centralWidget(), periodo);
        ocupada(janela, false);
        botao(&janela)->click();
        ocupada(janela, true);
        QCOMPARE(janela.findChildren<Relatorio *>().size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(caixas, QStringList{kSucesso}, kEspera);
        ocupada(janela, false);
        QTRY_VERIFY(janela.findChildren<Relatorio *>().isEmpty());
        QVERIFY(QFileInfo::exists(diretorio.path() + "/Relatorio_" + periodo.left(10) + "_a_"
                                  + periodo.mid(periodo.indexOf('/') + 1, 10) + "." + formato));
        qputenv("TZ", "UTC");
        tzset();
    }

    void faultDuringAReport_data() { TestSupport::tabela("falhas-do-servidor.tsv"); }
    void faultDuringAReport()
    {
        const auto [falha, acao] = TestSupport::celulas("falha", "acao");
        QVERIFY(TestSupport::semear(QString::fromUtf8(TestSupport::dados("exemplo.sql"))));
        const TestSupport::CoutCapture saida; // failed or cancelled statements
        // Releasing the lock and repairing the server, each run once: when the test says, or
        // at the latest when it ends, however it ends.
        std::function<void()> soltar = [] { TestSupport::exec("rollback"); }, reparar = [] {};
        const auto aoSair = qScopeGuard([&] {
            reparar();
            soltar();
        });
        const auto agora = [](std::function<void()> &passo) { std::exchange(passo, [] {})(); };
        QVERIFY(TestSupport::exec("begin; lock table sessao in access exclusive mode"));
        auto janela = std::make_unique<MainWindow>();
        janela->show();
        QVERIFY(conectar(janela.get()));
        escolherPeriodo(janela->centralWidget(), "2015-03-01T08:00/2015-03-02T18:00");
        botao(janela.get())->click();
        ocupada(*janela, true);
        int pid = 0;
        QTRY_VERIFY_WITH_TIMEOUT((pid = TestSupport::backendEsperandoTrava()) > 0, kEspera);
        const QString servidor = qEnvironmentVariable("QUORBEL_TEST_SERVER_CTL");
        if (falha == "terminate") {
            QCOMPARE(TestSupport::admin("select pg_terminate_backend(" + std::to_string(pid) + ")"),
                     "t");
        } else if (falha == "stop") {
            reparar = [servidor] { QProcess::execute(servidor, {"start"}); };
            QCOMPARE(QProcess::execute(servidor, {"stop", "fast"}), 0);
        } else if (falha == "SIGSTOP") {
            // Should the program wait for it, the test would end only at CTest's timeout.
            ::kill(pid, SIGSTOP);
            reparar = [pid] { ::kill(pid, SIGCONT); };
            agora(soltar);
        }

        if (!acao.isEmpty()) {
            if (acao == "close")
                janela->close();
            else
                acionar(janela.get(), "actionSair");
            QVERIFY(!janela->isVisible());
            janela.reset(); // as main() ends once its window has closed
            agora(reparar);
            agora(soltar);
            QTRY_COMPARE_WITH_TIMEOUT(backendsDoPrograma(), QString("0"), kEspera);
            QVERIFY(caixas.isEmpty());
            return;
        }

        // The server went away: a failure, the LED dark, the request refused
        // until a new "Conectar" succeeds.
        QTRY_COMPARE_WITH_TIMEOUT(caixas, QStringList{kFalha}, kEspera);
        agora(soltar);
        QVERIFY(!saida.text().empty());
        QVERIFY(!aceso(janela.get()));
        ocupada(*janela, false);
        botao(janela.get())->click();
        QCOMPARE(caixas.last(), kNaoConectado);
        QCOMPARE(conectar(janela.get(), "actionConectar"), falha != "stop");
        agora(reparar);
        QVERIFY(conectar(janela.get(), "actionConectar"));
        botao(janela.get())->click();
        QTRY_COMPARE_WITH_TIMEOUT(caixas.last(), kSucesso, kEspera);
        QTRY_VERIFY(TestSupport::exec("select 1")); // the owner's connection is back too
    }

    // The options dialog accepted or cancelled, over a store that takes the values, or that
    // can be neither read at start nor written.
    void options_data() { TestSupport::tabela("opcoes.tsv"); }
    void options()
    {
        const auto [aceita, gravavel] = TestSupport::celulas("aceita", "gravavel");
        const QString arquivo = arquivoDeConfiguracoes();
        QStringList avisos;
        if (gravavel == "0") {
            QVERIFY(QFile::remove(arquivo) && QDir().mkpath(arquivo));
            avisos << "Aviso|Não foi possível ler as configurações em " + arquivo
                          + ". O programa usa os valores padrão."
                   << "Aviso|As opções não foram salvas em " + arquivo
                          + ". Os valores valem só até o programa ser fechado.";
        }
        MainWindow janela;
        janela.show();
        QTRY_COMPARE(caixas, avisos.mid(0, 1));
        QCOMPARE(portaBanco, gravavel == "1" ? portaDoServidor : "5432");
        const bool aceitar = aceita == "1";
        responder = [aceitar](QWidget *dialogo) {
            dialogo->findChild<QLineEdit *>("txtAddress")->setText("192.168.0.20");
            dialogo->findChild<QLineEdit *>("txtPort")->setText("15432");
            dialogo->findChild<QLineEdit *>("txtDir")->setText("/tmp/não existe");
            dialogo->findChild<QComboBox *>("cmbFormato")->setCurrentIndex(1);
            dialogo->findChild<QDialogButtonBox *>("buttonBox")
                ->button(aceitar ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
                ->click();
        };
        const auto valores = [] {
            return QStringList{enderecoBanco, portaBanco, diretorioRelatorio, formatoRelatorio};
        };
        const QStringList antes = valores();
        const QStringList novos{"192.168.0.20", "15432", "/tmp/não existe", "xlsx"};
        const TestSupport::CoutCapture saida;
        acionar(&janela, "actionOpcoes");
        QCOMPARE(saida.text(), std::string(aceitar && gravavel == "1" ? "Opções salvas.\n" : ""));
        QCOMPARE(caixas, avisos);
        QCOMPARE(valores(), aceitar ? novos : antes);
        // What the store holds now.
        QCOMPARE(carregarConfiguracoes(), gravavel == "1");
        if (gravavel == "1")
            QCOMPARE(valores(), aceitar ? novos : antes);
    }

    // Lit and dark, wide and square: the centre's green, and the disc fully
    // covering a square of the shorter side less one, centred.
    void ledDrawing()
    {
        for (const QSize &tamanho : {QSize(60, 25), QSize(25, 25)}) {
            for (const bool ligado : {true, false}) {
                QLedIndicator led;
                led.setChecked(ligado);
                led.resize(tamanho);
                QImage imagem(tamanho, QImage::Format_ARGB32_Premultiplied);
                imagem.fill(Qt::transparent);
                led.render(&imagem, QPoint(), QRegion(), QWidget::RenderFlags());
                const QPoint centro(tamanho.width() / 2, tamanho.height() / 2);
                const int verde = imagem.pixelColor(centro).green();
                QVERIFY2(ligado ? verde > 200 : verde < 110, qPrintable(QString::number(verde)));
                QRect cobertos;
                for (int x = 0; x < tamanho.width(); ++x)
                    for (int y = 0; y < tamanho.height(); ++y)
                        if (qAlpha(imagem.pixel(x, y)) >= 250)
                            cobertos |= QRect(x, y, 1, 1);
                const int lado = qMin(tamanho.width(), tamanho.height()) - 1;
                QCOMPARE(cobertos, QRect(centro - QPoint(lado / 2, lado / 2), QSize(lado, lado)));
            }
        }
    }

    // Run under LC_ALL=C (tests/CMakeLists.txt): Qt's own texts and the calendars still speak
    // Portuguese, while the time editors keep the system's format. F1 and "Sobre" open the about
    // dialog, not modal, with the program's images. Last, as the translator stays.
    void portugueseThroughout()
    {
        QCOMPARE(QLocale::system().name(), QString("C"));
        QVERIFY(instalarTraducaoDoQt(*qApp));
        QDialogButtonBox botoes(QDialogButtonBox::Cancel);
        QCOMPARE(botoes.button(QDialogButtonBox::Cancel)->text(), QString("Cancelar"));
        MainWindow janela;
        janela.show();
        QVERIFY(QTest::qWaitForWindowActive(&janela));
        auto *calendario = janela.findChild<QCalendarWidget *>("calendarDataFinal");
        // The highlighted day is the selected one, whichever day a week starts on.
        const QModelIndexList destacados
            = calendario->findChild<QTableView *>()->selectionModel()->selectedIndexes();
        QCOMPARE(destacados.size(), 1);
        QCOMPARE(destacados[0].data().toInt(), calendario->selectedDate().day());
        calendario->setCurrentPage(2015, 3);
        QCOMPARE(calendario->findChild<QToolButton *>("qt_calendar_monthbutton")->text(),
                 QString("março"));
        QCOMPARE(janela.findChild<QTimeEdit *>("timeDataFinal")->displayFormat(),
                 QString("HH:mm:ss"));
        QTest::keyClick(&janela, Qt::Key_F1);
        acionar(&janela, "actionSobre");
        const QList<QDialog *> dialogos = janela.findChildren<QDialog *>("AboutDialog");
        QCOMPARE(dialogos.size(), 2);
        for (const QDialog *dialogo : dialogos)
            QVERIFY(dialogo->isVisible() && !dialogo->isModal());
        QCOMPARE(QImage(":/img/imagens/logo.png").size(), QSize(2069, 1000));
        QCOMPARE(QIcon(":/img/icone").availableSizes(),
                 (QList<QSize>{{48, 48}, {32, 32}, {16, 16}}));
    }
};

QTEST_MAIN(TestScreen)
#include "tst_screen.moc"
