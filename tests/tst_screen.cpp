// The report screen with its LED and report requests, in the main window with
// the options and about dialogs. Jobs run for real against the test database.

#include "app/mainwindow.h"
#include "app/opcoesdialog.h"
#include "config/configuracoes.h"
#include "report/relatorio.h"
#include "screen/qledindicator.h"
#include "screen/telarelatorio.h"
#include "tests/testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

namespace {

// Warnings that mean a real fault: a renamed form object silently loses its
// slot, and a job destroyed while its thread runs.
QStringList mensagensGraves;
QtMessageHandler tratadorAnterior = nullptr;

void tratador(QtMsgType tipo, const QMessageLogContext &contexto, const QString &texto)
{
    if (texto.contains("QMetaObject::connectSlotsByName: No matching signal")
        || texto.contains("QThread: Destroyed while thread is still running"))
        mensagensGraves << texto;
    tratadorAnterior(tipo, contexto, texto);
}

// Message boxes are answered with Ok and kept as "title|text"; any other
// modal window goes to the running test's `responder`.
QStringList caixas;
std::function<void(QWidget *)> responder;

const QString kPortaFechada = "1"; // nothing listens there on the loopback

// Server backends matching a condition, seen from the owner's connection.
QString backends(const std::string &condicao)
{
    TestSupport::exec("select pg_stat_clear_snapshot()");
    return QString::fromStdString(
        TestSupport::scalar("select count(*) from pg_stat_activity where " + condicao));
}
const std::string kDoPrograma = "datname = 'BDQuorbel' and pid <> pg_backend_pid()";

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

} // namespace

class TestScreen : public QObject
{
    Q_OBJECT
    QTemporaryDir diretorio;

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");                     // where the database's limits are round
        QStandardPaths::setTestModeEnabled(true); // never a person's real settings
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
    }

    void init()
    {
        REQUIRE_DATABASE();
        mensagensGraves.clear();
        caixas.clear();
        // The stored settings lead to the test database.
        definirConfiguracoes(QString::fromStdString(TestSupport::hostaddr()),
                             QString::fromStdString(TestSupport::port()), diretorio.path());
        salvarConfiguracoes();
    }

    void cleanup()
    {
        responder = nullptr;
        QVERIFY2(mensagensGraves.isEmpty(), qPrintable(mensagensGraves.join("\n")));
    }

    // The form's objects and what they show, at start and after an editor changes.
    void formObjects_data()
    {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("classe");
        QTest::addColumn<QString>("propriedade");
        QTest::addColumn<QVariant>("valor");
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QVariant>("entrada");
        const auto linha = [](const char *nome, const char *classe, const char *prop,
                              QVariant valor, const char *editor = "", QVariant entrada = {}) {
            QTest::addRow("%s %s%s%s", nome, prop, *editor ? " after " : "", editor)
                << nome << classe << prop << valor << editor << entrada;
        };
        const QDate hoje = QDate::currentDate();
        const QDate primeiro(hoje.year(), hoje.month(), 1);
        linha("label", "QLabel", "text", "Conectado:");
        linha("labelTitulo", "QLabel", "text", "O relatório será gerado para o período:");
        linha("labelTitulo2", "QLabel", "text", "de");
        linha("labelTitulo3", "QLabel", "text", "até");
        linha("labelDataInicio", "QLabel", "text", "Data Inicial");
        linha("labelDataFinal", "QLabel", "text", "Data Final");
        linha("labelHoraInicio", "QLabel", "text", "Hora Inicial");
        linha("labelHoraFinal", "QLabel", "text", "Hora Final");
        linha("separarSessoes", "QCheckBox", "text", "Separar sessões");
        linha("separarSessoes", "QCheckBox", "checked", false);
        linha("botaoGeraRelatorio", "QPushButton", "text", "Gerar Relatório");
        linha("calendarDataInicio", "QCalendarWidget", "selectedDate", primeiro);
        linha("calendarDataFinal", "QCalendarWidget", "selectedDate", hoje);
        linha("timeDataInicio", "QTimeEdit", "time", QTime(0, 0, 0));
        linha("timeDataFinal", "QTimeEdit", "time", QTime(23, 59, 59));
        linha("labelInicio", "QLabel", "text", primeiro.toString("dd/MM/yyyy 00:00"));
        linha("labelFinal", "QLabel", "text", hoje.toString("dd/MM/yyyy 23:59"));
        linha("labelFinal", "QLabel", "text", "07/03/2015 23:59", "calendarDataFinal",
              QDate(2015, 3, 7));
        linha("labelInicio", "QLabel", "text", "02/03/2015 00:00", "calendarDataInicio",
              QDate(2015, 3, 2));
        linha("labelInicio", "QLabel", "text", primeiro.toString("dd/MM/yyyy 08:15"),
              "timeDataInicio", QTime(8, 15));
        linha("labelFinal", "QLabel", "text", hoje.toString("dd/MM/yyyy 07:30"), "timeDataFinal",
              QTime(7, 30, 59));
        linha("led", "QLedIndicator", "onColor1", QColor(0, 255, 0));
        linha("led", "QLedIndicator", "onColor2", QColor(0, 192, 0));
        linha("led", "QLedIndicator", "offColor1", QColor(0, 28, 0));
        linha("led", "QLedIndicator", "offColor2", QColor(0, 128, 0));
    }

    void formObjects()
    {
        QFETCH(QString, nome);
        QFETCH(QString, classe);
        QFETCH(QString, propriedade);
        QFETCH(QVariant, valor);
        QFETCH(QString, editor);
        QFETCH(QVariant, entrada);
        TelaRelatorio tela;
        if (!editor.isEmpty())
            QVERIFY(tela.findChild<QWidget *>(editor)->setProperty(
                entrada.type() == QVariant::Date ? "selectedDate" : "time", entrada));
        const QWidget *widget = tela.findChild<QWidget *>(nome);
        QVERIFY(widget);
        QCOMPARE(QString(widget->metaObject()->className()), classe);
        QCOMPARE(widget->property(qPrintable(propriedade)), valor);
    }

    void connectionStates_data()
    {
        QTest::addColumn<bool>("aberta");
        QTest::addColumn<QString>("texto");
        QTest::newRow("the test database") << true << "Conectado com sucesso.";
        QTest::newRow("a closed port") << false
                                       << "Falha ao conectar com banco de dados. "
                                          "Verifique se o endereço de IP da máquina "
                                          "está correto.";
    }

    void connectionStates()
    {
        QFETCH(bool, aberta);
        QFETCH(QString, texto);
        if (!aberta)
            definirConfiguracoes(enderecoBanco, kPortaFechada, diretorioRelatorio);
        TelaRelatorio tela;
        auto *led = tela.findChild<QLedIndicator *>("led");
        QSignalSpy mensagens(&tela, &TelaRelatorio::message);
        QCOMPARE(tela.conectar(), aberta);
        QCOMPARE(led->isChecked(), aberta);
        // The new connection retired the one the screen opened at start.
        QTRY_COMPARE(backends(kDoPrograma), QString(aberta ? "1" : "0"));

        // Disconnecting twice: one message, and the lamp goes dark even if lit.
        tela.desconectar();
        led->setChecked(true);
        tela.desconectar();
        QVERIFY(!led->isChecked());
        QTRY_COMPARE(backends(kDoPrograma), QString("0"));
        QCOMPARE(
            QList<QVariantList>(mensagens),
            QList<QVariantList>(
                {{"Aguarde. Conectando...", 0}, {texto, 5000}, {"Banco desconectado.", 5000}}));
    }

    void refusedRequests_data()
    {
        QTest::addColumn<QString>("conexao");
        QTest::addColumn<QString>("periodo");
        QTest::addColumn<QString>("texto");
        const QString desconectado = "Não está conectado à máquina.";
        const QString invertido = "Data final anterior a data inicial. O relatório não pode ser "
                                  "gerado.";
        const QString impossivel = "O período deve estar entre 01/01/1970 00:00:00 e 19/01/2038 "
                                   "03:14:07, os instantes que o banco de dados registra. O "
                                   "relatório não pode ser gerado.";
        QTest::newRow("disconnected") << "none"
                                      << "2015-03-10T08:00/2015-03-10T09:00" << desconectado;
        QTest::newRow("failed attempt, reversed: connection checked first")
            << "failed"
            << "2015-03-10T08:00/2015-03-09T09:00" << desconectado;
        QTest::newRow("same date, end 07:59 before 08:00")
            << "open"
            << "2015-03-10T08:00/2015-03-10T07:59" << invertido;
        QTest::newRow("a day before at a later hour, before 1970: order checked first")
            << "open"
            << "1960-05-02T00:00/1960-05-01T09:00" << invertido;
        QTest::newRow("start one second before 1970")
            << "open"
            << "1969-12-31T23:59:59/2015-03-10T08:00" << impossivel;
        QTest::newRow("end at 2038-01-19 03:14:08")
            << "open"
            << "2015-03-10T08:00/2038-01-19T03:14:08" << impossivel;
    }

    void refusedRequests()
    {
        QFETCH(QString, conexao);
        QFETCH(QString, periodo);
        QFETCH(QString, texto);
        if (conexao == "failed")
            definirConfiguracoes(enderecoBanco, kPortaFechada, diretorioRelatorio);
        TelaRelatorio tela;
        if (conexao == "none")
            tela.desconectar();
        escolherPeriodo(&tela, periodo);
        tela.findChild<QPushButton *>("botaoGeraRelatorio")->click();
        QCOMPARE(caixas, QStringList({"Erro!|" + texto}));
        QVERIFY(tela.findChildren<Relatorio *>().isEmpty());
    }

    void reportFromTheMainWindow()
    {
        definirConfiguracoes(enderecoBanco, kPortaFechada,
                             diretorioRelatorio); // the stored port must be the one used
        MainWindow janela;
        QWidget *tela = janela.centralWidget();
        QVERIFY(tela->findChild<QLedIndicator *>("led")->isChecked());
        escolherPeriodo(tela, "1970-01-01T00:00/2038-01-19T03:14:07"); // all the database holds
        auto *botao = tela->findChild<QPushButton *>("botaoGeraRelatorio");
        auto *conectar = janela.findChild<QAction *>("actionConectar");
        auto *desconectar = janela.findChild<QAction *>("actionDesconectar");
        auto *progresso = janela.statusBar()->findChild<QProgressBar *>();
        QVERIFY(progresso && progresso->isHidden());

        botao->click();
        QVERIFY(!botao->isEnabled());
        QCOMPARE(botao->text(), QString("Gerando relatório..."));
        QVERIFY(!conectar->isEnabled() && !desconectar->isEnabled() && !progresso->isHidden());
        QCOMPARE(tela->findChildren<Relatorio *>().size(), 1);

        QTRY_COMPARE(caixas, QStringList({"Aviso|Relatório gerado com sucesso!"}));
        QVERIFY(botao->isEnabled());
        QCOMPARE(botao->text(), QString("Gerar Relatório"));
        QVERIFY(conectar->isEnabled() && desconectar->isEnabled() && progresso->isHidden());
        QTRY_VERIFY(tela->findChildren<Relatorio *>().isEmpty());
    }

    void closingDuringALongReport()
    {
        // The tables stay locked: the window can only go because the job's
        // statement was cancelled and its thread ended.
        struct Trava
        {
            ~Trava() { TestSupport::exec("rollback"); }
        } trava;
        QVERIFY(TestSupport::exec("begin"));
        QVERIFY(TestSupport::exec("lock table treino, numero_classificacao_treino, funcionario, "
                                  "sessao, evento_muda in access exclusive mode"));
        auto janela = std::make_unique<MainWindow>();
        janela->centralWidget()->findChild<QPushButton *>("botaoGeraRelatorio")->click();
        QTRY_COMPARE(backends("wait_event_type = 'Lock'"), QString("1"));
        {
            const TestSupport::CoutCapture cancelado; // the cancelled statement's line
            janela->close();
            janela.reset();
        }
        QTRY_COMPARE(backends(kDoPrograma), QString("0"));
        QVERIFY(caixas.isEmpty());
    }

    void options_data()
    {
        QTest::addColumn<bool>("aceita");
        QTest::newRow("accepted: one line printed, the fields saved") << true;
        QTest::newRow("cancelled: nothing printed, nothing saved") << false;
    }

    void options()
    {
        QFETCH(bool, aceita);
        MainWindow janela;
        responder = [aceita](QWidget *dialogo) {
            dialogo->findChild<QLineEdit *>("txtAddress")->setText("192.168.0.20");
            dialogo->findChild<QLineEdit *>("txtPort")->setText("15432");
            dialogo->findChild<QLineEdit *>("txtDir")->setText("/tmp/não existe");
            dialogo->findChild<QDialogButtonBox *>("buttonBox")
                ->button(aceita ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)
                ->click();
        };
        const QStringList antes{enderecoBanco, portaBanco, diretorioRelatorio};
        const TestSupport::CoutCapture saida;
        janela.findChild<QAction *>("actionOpcoes")->trigger();
        QCOMPARE(saida.text(), std::string(aceita ? "Opções salvas.\n" : ""));
        const QSettings guardadas;
        QCOMPARE(
            QStringList({guardadas.value("BD_ADDR").toString(), guardadas.value("5432").toString(),
                         guardadas.value("DIRETORIO").toString()}),
            aceita ? QStringList({"192.168.0.20", "15432", "/tmp/não existe"}) : antes);
    }

    void directoryChooser_data()
    {
        QTest::addColumn<bool>("aceita");
        QTest::newRow("a directory chosen") << true;
        QTest::newRow("chooser cancelled") << false;
    }

    void directoryChooser()
    {
        QFETCH(bool, aceita);
        OpcoesDialog dialogo;
        responder = [aceita](QWidget *modal) {
            auto *escolha = qobject_cast<QFileDialog *>(modal);
            escolha->setDirectory("/");
            if (aceita)
                static_cast<QDialog *>(escolha)->accept();
            else
                escolha->reject();
        };
        dialogo.findChild<QPushButton *>("btnAlterarDir")->click();
        QCOMPARE(dialogo.findChild<QLineEdit *>("txtDir")->text(), aceita ? "/" : diretorio.path());
    }

    void aboutDialogs()
    {
        MainWindow janela;
        janela.show();
        QVERIFY(QTest::qWaitForWindowActive(&janela));
        QTest::keyClick(&janela, Qt::Key_F1);
        janela.findChild<QAction *>("actionSobre")->trigger();
        const QList<QDialog *> dialogos = janela.findChildren<QDialog *>("AboutDialog");
        QCOMPARE(dialogos.size(), 2);
        for (const QDialog *dialogo : dialogos)
            QVERIFY(dialogo->isVisible() && !dialogo->isModal());
    }

    void ledDrawing_data()
    {
        QTest::addColumn<QSize>("tamanho");
        QTest::addColumn<bool>("aceso");
        for (const QSize &t : {QSize(60, 25), QSize(25, 25)})
            for (const bool aceso : {true, false})
                QTest::addRow("%dx%d %s", t.width(), t.height(), aceso ? "lit" : "dark")
                    << t << aceso;
    }

    void ledDrawing()
    {
        QFETCH(QSize, tamanho);
        QFETCH(bool, aceso);
        QLedIndicator led;
        led.setChecked(aceso);
        led.resize(tamanho);
        QImage imagem(tamanho, QImage::Format_ARGB32_Premultiplied);
        imagem.fill(Qt::transparent);
        led.render(&imagem, QPoint(), QRegion(), QWidget::RenderFlags());
        const QPoint centro(tamanho.width() / 2, tamanho.height() / 2);
        const int verde = imagem.pixelColor(centro).green();
        QVERIFY2(aceso ? verde > 200 : verde < 110, qPrintable(QString::number(verde)));

        // The fully covered pixels span the shorter side less one (an odd side
        // puts the rim mid-pixel), centred at the integer halves.
        QRect cobertos;
        for (int x = 0; x < tamanho.width(); ++x)
            for (int y = 0; y < tamanho.height(); ++y)
                if (qAlpha(imagem.pixel(x, y)) >= 250)
                    cobertos |= QRect(x, y, 1, 1);
        const int lado = qMin(tamanho.width(), tamanho.height()) - 1;
        QCOMPARE(cobertos, QRect(centro - QPoint(lado / 2, lado / 2), QSize(lado, lado)));
    }
};

QTEST_MAIN(TestScreen)
#include "tst_screen.moc"
