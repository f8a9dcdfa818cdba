// The report screen with its LED and report requests, in the main window with
// the options and about dialogs. Jobs run for real against the test database.

#include "app/configuracoes.h"
#include "app/mainwindow.h"
#include "app/opcoesdialog.h"
#include "report/relatorio.h"
#include "screen/qledindicator.h"
#include "screen/telarelatorio.h"
#include "tests/testsupport.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaEnum>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>

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
    if (tratadorAnterior)
        tratadorAnterior(tipo, contexto, texto);
}

// A port on 127.0.0.1 that nobody listens on.
QString portaFechada()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in endereco{};
    endereco.sin_family = AF_INET;
    endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t tamanho = sizeof endereco;
    bind(s, reinterpret_cast<sockaddr *>(&endereco), tamanho);
    getsockname(s, reinterpret_cast<sockaddr *>(&endereco), &tamanho);
    close(s);
    return QString::number(ntohs(endereco.sin_port));
}

// Answers the modal windows the code under test opens: message boxes are
// recorded as "title|text" and closed with Ok; other modal windows go to the
// test's own handler.
class Respondedor : public QObject
{
public:
    explicit Respondedor(std::function<void(QWidget *)> outro = nullptr)
        : outro(std::move(outro))
    {
        connect(&timer, &QTimer::timeout, this, &Respondedor::responder);
        timer.start(20);
    }

    QStringList caixas;
    bool soAvisosComOk = true;

private:
    void responder()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto *caixa = qobject_cast<QMessageBox *>(modal)) {
            caixas << caixa->windowTitle() + "|" + caixa->text();
            soAvisosComOk = soAvisosComOk && caixa->icon() == QMessageBox::Warning
                            && caixa->standardButtons() == QMessageBox::Ok;
            caixa->button(QMessageBox::Ok)->click();
        } else if (outro) {
            outro(modal);
        }
    }

    std::function<void(QWidget *)> outro;
    QTimer timer;
};

// Holds every table of the report locked from the owner's connection, so
// that the job's statements wait until it goes away.
class TabelasTravadas
{
public:
    TabelasTravadas()
    {
        ok = TestSupport::exec("begin")
             && TestSupport::exec("lock table treino, numero_classificacao_treino, funcionario, "
                                  "sessao, evento_muda in access exclusive mode");
    }
    ~TabelasTravadas() { TestSupport::exec("rollback"); }
    bool ok = false;
};

// Activity seen from the owner's connection; the server keeps one snapshot
// per transaction, so it is dropped first.
QString atividade(const std::string &condicao)
{
    TestSupport::exec("select pg_stat_clear_snapshot()");
    return QString::fromStdString(
        TestSupport::scalar("select count(*) from pg_stat_activity where " + condicao));
}

// Backends of the program under test (the owner's own connection excluded).
QString conexoesDoPrograma()
{
    return atividade("datname = 'BDQuorbel' and pid <> pg_backend_pid()");
}

QString esperasPorTrava()
{
    return atividade("wait_event_type = 'Lock'");
}

template <typename T>
T *filho(QObject *pai, const char *nome)
{
    return pai->findChild<T *>(QString::fromLatin1(nome));
}

QString politica(QSizePolicy::Policy p)
{
    return QString::fromLatin1(QMetaEnum::fromType<QSizePolicy::Policy>().valueToKey(p));
}

// The layout tree as text: spacers as "w x h horizontal/vertical", widgets and
// layouts by object name.
QString descrever(QLayoutItem *item)
{
    if (QSpacerItem *espaco = item->spacerItem()) {
        const QSizePolicy p = espaco->sizePolicy();
        return QString("%1x%2 %3/%4")
            .arg(espaco->sizeHint().width())
            .arg(espaco->sizeHint().height())
            .arg(politica(p.horizontalPolicy()), politica(p.verticalPolicy()));
    }
    if (QWidget *w = item->widget())
        return w->objectName();
    QLayout *layout = item->layout();
    QStringList partes;
    for (int i = 0; i < layout->count(); ++i)
        partes << descrever(layout->itemAt(i));
    return layout->objectName() + "(" + partes.join(", ") + ")";
}

QImage desenhar(QLedIndicator &led, const QSize &tamanho)
{
    led.resize(tamanho);
    QImage imagem(tamanho, QImage::Format_ARGB32_Premultiplied);
    imagem.fill(Qt::transparent);
    led.render(&imagem, QPoint(), QRegion(), QWidget::RenderFlags());
    return imagem;
}

// First and last fully opaque pixel along a row or a column.
QPair<int, int> opacos(const QImage &imagem, bool linha, int indice)
{
    const int n = linha ? imagem.width() : imagem.height();
    int primeiro = -1;
    int ultimo = -1;
    for (int i = 0; i < n; ++i) {
        const QRgb p = linha ? imagem.pixel(i, indice) : imagem.pixel(indice, i);
        if (qAlpha(p) >= 250) {
            if (primeiro < 0)
                primeiro = i;
            ultimo = i;
        }
    }
    return {primeiro, ultimo};
}

QByteArray lerArquivo(const QString &caminho)
{
    QFile arquivo(caminho);
    return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray();
}

const QString kForaDoIntervalo = "O período deve estar entre 01/01/1970 00:00:00 e 19/01/2038 "
                                 "03:14:07, os instantes que o banco de dados registra. O "
                                 "relatório não pode ser gerado.";
const QString kFimAntes = "Data final anterior a data inicial. O relatório não pode ser gerado.";
const QString kNaoConectado = "Não está conectado à máquina.";
const QString kSucesso = "Aviso|Relatório gerado com sucesso!";
const QString kFalha = "Aviso|Nossa! Não foi possível gerar o relatorio.\nPor favor, entre em "
                       "contato com seu fornecedor.";

} // namespace

class TestScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formObjects_data();
    void formObjects();
    void formLayoutOrder();
    void initialPeriodAndEditors();
    void periodLabels_data();
    void periodLabels();

    void connectionStates_data();
    void connectionStates();
    void disconnectingTwice_data();
    void disconnectingTwice();
    void newConnectionRetiresThePreviousOne();

    void refusedRequests_data();
    void refusedRequests();
    void reportOutcomeAndButton_data();
    void reportOutcomeAndButton();
    void jobGetsPeriodClassesAndSessionChoice_data();
    void jobGetsPeriodClassesAndSessionChoice();
    void connectionActionsWaitForTheOutcome();
    void closingDuringALongReport();

    void optionsShowStoredSettings();
    void optionsAccepted();
    void optionsCancelled_data();
    void optionsCancelled();
    void optionsStoreFieldsAsTyped();
    void directoryChooser_data();
    void directoryChooser();

    void aboutDialogs();

    void ledDefaults();
    void ledDrawing_data();
    void ledDrawing();
    void ledColourProperties();

private:
    void guardarConfiguracoesDoBanco();
    static void selecionarPeriodo(TelaRelatorio &tela, const QDateTime &inicio,
                                  const QDateTime &fim);

    QTemporaryDir diretorio;
};

void TestScreen::initTestCase()
{
    QVERIFY(diretorio.isValid());
    tratadorAnterior = qInstallMessageHandler(tratador);
}

void TestScreen::init()
{
    QSettings().clear();
    QSettings().sync();
    mensagensGraves.clear();
    // Values as the main window would have loaded them.
    enderecoBanco = TestSupport::haveDatabase() ? QString::fromStdString(TestSupport::hostaddr())
                                                : "127.0.0.1";
    portaBanco = TestSupport::haveDatabase() ? QString::fromStdString(TestSupport::port())
                                             : portaFechada();
    diretorioRelatorio = diretorio.path();
    if (TestSupport::haveDatabase())
        QVERIFY(TestSupport::resetTables());
}

void TestScreen::cleanup()
{
    QVERIFY2(mensagensGraves.isEmpty(), qPrintable(mensagensGraves.join("\n")));
}

void TestScreen::guardarConfiguracoesDoBanco()
{
    QSettings configuracoes;
    configuracoes.setValue("BD_ADDR", enderecoBanco);
    configuracoes.setValue("5432", portaBanco);
    configuracoes.setValue("DIRETORIO", diretorioRelatorio);
}

void TestScreen::selecionarPeriodo(TelaRelatorio &tela, const QDateTime &inicio,
                                   const QDateTime &fim)
{
    filho<QCalendarWidget>(&tela, "calendarDataInicio")->setSelectedDate(inicio.date());
    filho<QTimeEdit>(&tela, "timeDataInicio")->setTime(inicio.time());
    filho<QCalendarWidget>(&tela, "calendarDataFinal")->setSelectedDate(fim.date());
    filho<QTimeEdit>(&tela, "timeDataFinal")->setTime(fim.time());
}

void TestScreen::formObjects_data()
{
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("classe");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("familia");
    QTest::addColumn<int>("pontos");

    const QString iskoola = "Iskoola Pota";
    const QString padrao = QApplication::font().family();
    QTest::newRow("label") << "label" << "QLabel" << "Conectado:" << iskoola << 16;
    QTest::newRow("led") << "led" << "QLedIndicator" << "" << padrao << 16;
    QTest::newRow("labelTitulo") << "labelTitulo" << "QLabel"
                                 << "O relatório será gerado para o período:" << iskoola << 16;
    QTest::newRow("labelTitulo2") << "labelTitulo2" << "QLabel" << "de" << iskoola << 16;
    QTest::newRow("labelTitulo3") << "labelTitulo3" << "QLabel" << "até" << iskoola << 16;
    QTest::newRow("labelDataInicio")
        << "labelDataInicio" << "QLabel" << "Data Inicial" << iskoola << 16;
    QTest::newRow("labelDataFinal")
        << "labelDataFinal" << "QLabel" << "Data Final" << iskoola << 16;
    QTest::newRow("labelHoraInicio")
        << "labelHoraInicio" << "QLabel" << "Hora Inicial" << iskoola << 16;
    QTest::newRow("labelHoraFinal")
        << "labelHoraFinal" << "QLabel" << "Hora Final" << iskoola << 16;
    QTest::newRow("calendarDataInicio")
        << "calendarDataInicio" << "QCalendarWidget" << "" << iskoola << 14;
    QTest::newRow("calendarDataFinal")
        << "calendarDataFinal" << "QCalendarWidget" << "" << iskoola << 14;
    QTest::newRow("timeDataInicio") << "timeDataInicio" << "QTimeEdit" << "" << iskoola << 16;
    QTest::newRow("timeDataFinal") << "timeDataFinal" << "QTimeEdit" << "" << iskoola << 16;
    QTest::newRow("separarSessoes")
        << "separarSessoes" << "QCheckBox" << "Separar sessões" << iskoola << 16;
    QTest::newRow("botaoGeraRelatorio")
        << "botaoGeraRelatorio" << "QPushButton" << "Gerar Relatório" << iskoola << 16;
}

void TestScreen::formObjects()
{
    QFETCH(QString, nome);
    QFETCH(QString, classe);
    QFETCH(QString, texto);
    QFETCH(QString, familia);
    QFETCH(int, pontos);

    TelaRelatorio tela;
    auto *widget = tela.findChild<QWidget *>(nome);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), &tela);
    QCOMPARE(QString(widget->metaObject()->className()), classe);
    if (!texto.isEmpty())
        QCOMPARE(widget->property("text").toString(), texto);
    QCOMPARE(widget->font().family(), familia);
    QCOMPARE(widget->font().pointSize(), pontos);
    QVERIFY(widget->toolTip().isEmpty());
    QVERIFY(widget->styleSheet().isEmpty());
}

void TestScreen::formLayoutOrder()
{
    TelaRelatorio tela;
    QCOMPARE(tela.objectName(), QString("TelaRelatorio"));
    QCOMPARE(tela.windowTitle(), QString("Form"));
    QCOMPARE(tela.layout()->objectName(), QString("verticalLayout_3"));

    QStringList linhas;
    for (int i = 0; i < tela.layout()->count(); ++i)
        linhas << descrever(tela.layout()->itemAt(i));
    const QString largo = "40x20 Expanding/Minimum";
    QCOMPARE(linhas, QStringList({
        "horizontalLayout_9(40x20 Preferred/Minimum, horizontalLayout_8(label, led), " + largo
            + ")",
        "20x3 Minimum/Expanding",
        "horizontalLayout_7(" + largo + ", horizontalLayout(labelTitulo, labelTitulo2, "
            "labelInicio, labelTitulo3, labelFinal), " + largo + ")",
        "20x4 Minimum/Expanding",
        "horizontalLayout_2(10x20 MinimumExpanding/Minimum, verticalLayout(labelDataInicio, "
            "calendarDataInicio), 13x20 MinimumExpanding/Minimum, verticalLayout_2("
            "labelDataFinal, calendarDataFinal), 10x20 MinimumExpanding/Minimum)",
        "20x3 Minimum/Expanding",
        "horizontalLayout_5(" + largo + ", horizontalLayout_3(labelHoraInicio, timeDataInicio), "
            + largo + ", " + largo + ", horizontalLayout_4(labelHoraFinal, timeDataFinal), "
            + largo + ")",
        "20x4 Minimum/Expanding",
        "horizontalLayout_10(40x20 Preferred/Minimum, separarSessoes, " + largo + ")",
        "20x3 Minimum/Expanding",
        "horizontalLayout_6(" + largo + ", botaoGeraRelatorio, " + largo + ")",
        "20x40 Minimum/Expanding",
    }));

    auto *led = filho<QLedIndicator>(&tela, "led");
    QCOMPARE(led->minimumSize(), QSize(25, 25));
    QCOMPARE(led->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(led->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    auto *horaInicio = filho<QTimeEdit>(&tela, "timeDataInicio");
    QCOMPARE(horaInicio->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(horaInicio->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(horaInicio->alignment(), Qt::AlignCenter);
    QCOMPARE(filho<QTimeEdit>(&tela, "timeDataFinal")->alignment(), Qt::AlignCenter);
    QCOMPARE(filho<QLabel>(&tela, "labelDataInicio")->alignment(), Qt::AlignCenter);
    QCOMPARE(filho<QLabel>(&tela, "labelDataFinal")->alignment(), Qt::AlignCenter);
    auto *calendarioFinal = filho<QCalendarWidget>(&tela, "calendarDataFinal");
    QVERIFY(calendarioFinal->isNavigationBarVisible());
    QVERIFY(calendarioFinal->isDateEditEnabled());
}

void TestScreen::initialPeriodAndEditors()
{
    TelaRelatorio tela;
    const QDate hoje = QDate::currentDate();
    const QDate primeiro(hoje.year(), hoje.month(), 1);

    QCOMPARE(filho<QTimeEdit>(&tela, "timeDataInicio")->time(), QTime(0, 0, 0));
    QCOMPARE(filho<QTimeEdit>(&tela, "timeDataFinal")->time(), QTime(23, 59, 59));
    QVERIFY(!filho<QCheckBox>(&tela, "separarSessoes")->isChecked());
    auto *botao = filho<QPushButton>(&tela, "botaoGeraRelatorio");
    QVERIFY(botao->isEnabled());
    QVERIFY(!botao->isCheckable());

    QCOMPARE(filho<QCalendarWidget>(&tela, "calendarDataInicio")->selectedDate(), primeiro);
    auto *calendarioFinal = filho<QCalendarWidget>(&tela, "calendarDataFinal");
    QCOMPARE(calendarioFinal->selectedDate(), hoje);
    QCOMPARE(calendarioFinal->monthShown(), hoje.month());
    QCOMPARE(calendarioFinal->yearShown(), hoje.year());
    QCOMPARE(filho<QLabel>(&tela, "labelInicio")->text(),
             primeiro.toString("dd/MM/yyyy") + " 00:00");
    QCOMPARE(filho<QLabel>(&tela, "labelFinal")->text(), hoje.toString("dd/MM/yyyy") + " 23:59");
}

void TestScreen::periodLabels_data()
{
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QVariant>("valor");
    QTest::addColumn<QString>("rotulo");
    QTest::addColumn<QString>("esperado");

    QTest::newRow("end date 7 March 2015 keeps the end time")
        << "calendarDataFinal" << QVariant(QDate(2015, 3, 7)) << "labelFinal"
        << "07/03/2015 23:59";
    QTest::newRow("start date keeps the start time")
        << "calendarDataInicio" << QVariant(QDate(2015, 3, 1)) << "labelInicio"
        << "01/03/2015 00:00";
    QTest::newRow("start time 08:15 on the start date")
        << "timeDataInicio" << QVariant(QTime(8, 15)) << "labelInicio"
        << "01/03/2015 08:15";
    QTest::newRow("end time shows no seconds")
        << "timeDataFinal" << QVariant(QTime(7, 30, 59)) << "labelFinal" << "17/03/2015 07:30";
}

void TestScreen::periodLabels()
{
    QFETCH(QString, editor);
    QFETCH(QVariant, valor);
    QFETCH(QString, rotulo);
    QFETCH(QString, esperado);

    TelaRelatorio tela;
    // A start on 1 March and an end on 17 March 2015, as if opened that day.
    filho<QCalendarWidget>(&tela, "calendarDataInicio")->setSelectedDate(QDate(2015, 3, 1));
    filho<QCalendarWidget>(&tela, "calendarDataFinal")->setSelectedDate(QDate(2015, 3, 17));

    QWidget *widget = tela.findChild<QWidget *>(editor);
    if (auto *calendario = qobject_cast<QCalendarWidget *>(widget))
        calendario->setSelectedDate(valor.toDate());
    else
        qobject_cast<QTimeEdit *>(widget)->setTime(valor.toTime());
    QCOMPARE(tela.findChild<QLabel *>(rotulo)->text(), esperado);
    QCOMPARE(TelaRelatorio::formatarDataHora(QDate(2015, 3, 5), QTime(7, 30, 59)),
             QString("05/03/2015 07:30"));
}

void TestScreen::connectionStates_data()
{
    QTest::addColumn<bool>("banco");
    QTest::addColumn<bool>("conecta");
    QTest::addColumn<QString>("texto");

    QTest::newRow("test database on its own port") << true << true << "Conectado com sucesso.";
    QTest::newRow("nobody listening on the port")
        << false << false
        << "Falha ao conectar com banco de dados. Verifique se o endereço de IP da máquina está "
           "correto.";
}

void TestScreen::connectionStates()
{
    QFETCH(bool, banco);
    QFETCH(bool, conecta);
    QFETCH(QString, texto);
    if (banco)
        REQUIRE_DATABASE();
    else
        portaBanco = portaFechada();

    Respondedor respondedor;
    TelaRelatorio tela;
    auto *led = filho<QLedIndicator>(&tela, "led");
    QCOMPARE(led->isChecked(), conecta);

    QSignalSpy mensagens(&tela, &TelaRelatorio::message);
    QCOMPARE(tela.conectar(), conecta);
    QCOMPARE(mensagens.size(), 2);
    QCOMPARE(mensagens[0], QVariantList({"Aguarde. Conectando...", 0}));
    QCOMPARE(mensagens[1], QVariantList({texto, 5000}));
    QCOMPARE(led->isChecked(), conecta);
    QCoreApplication::processEvents();
    QVERIFY(respondedor.caixas.isEmpty());
}

void TestScreen::disconnectingTwice_data()
{
    QTest::addColumn<bool>("banco");
    QTest::newRow("from an open connection") << true;
    QTest::newRow("from a failed attempt") << false;
}

void TestScreen::disconnectingTwice()
{
    QFETCH(bool, banco);
    if (banco)
        REQUIRE_DATABASE();
    else
        portaBanco = portaFechada();

    TelaRelatorio tela;
    auto *led = filho<QLedIndicator>(&tela, "led");
    QCOMPARE(led->isChecked(), banco);
    QSignalSpy mensagens(&tela, &TelaRelatorio::message);

    tela.desconectar();
    QCOMPARE(mensagens.size(), 1);
    QCOMPARE(mensagens[0], QVariantList({"Banco desconectado.", 5000}));
    QVERIFY(!led->isChecked());

    // A click on the lamp lights it; the next disconnect sets it again.
    led->click();
    QVERIFY(led->isChecked());
    tela.desconectar();
    QCOMPARE(mensagens.size(), 1);
    QVERIFY(!led->isChecked());
}

void TestScreen::newConnectionRetiresThePreviousOne()
{
    REQUIRE_DATABASE();
    QTRY_COMPARE(conexoesDoPrograma(), QString("0"));
    TelaRelatorio tela;
    QTRY_COMPARE(conexoesDoPrograma(), QString("1"));
    QVERIFY(tela.conectar());
    QVERIFY(tela.conectar());
    QTRY_COMPARE(conexoesDoPrograma(), QString("1"));
    tela.desconectar();
    QTRY_COMPARE(conexoesDoPrograma(), QString("0"));
}

void TestScreen::refusedRequests_data()
{
    QTest::addColumn<QString>("conexao");
    QTest::addColumn<QDateTime>("inicio");
    QTest::addColumn<QDateTime>("fim");
    QTest::addColumn<QString>("texto");

    auto em = [](int a, int m, int d, int h, int min, int s = 0, int ms = 0) {
        return QDateTime(QDate(a, m, d), QTime(h, min, s, ms), Qt::LocalTime);
    };
    const QDateTime manha = em(2015, 3, 10, 8, 0);
    QTest::newRow("never connected") << "none" << manha << em(2015, 3, 10, 9, 0)
                                     << kNaoConectado;
    QTest::newRow("failed attempt") << "failed" << manha << em(2015, 3, 10, 9, 0)
                                    << kNaoConectado;
    QTest::newRow("failed attempt and end before start, connection checked first")
        << "failed" << manha << em(2015, 3, 9, 9, 0) << kNaoConectado;
    QTest::newRow("end date a day before, later end time")
        << "open" << manha << em(2015, 3, 9, 23, 0) << kFimAntes;
    QTest::newRow("same date, end 07:59 before start 08:00")
        << "open" << manha << em(2015, 3, 10, 7, 59) << kFimAntes;
    QTest::newRow("same date, end one millisecond before start")
        << "open" << em(2015, 3, 10, 8, 0, 0, 1) << manha << kFimAntes;
    QTest::newRow("both before 1970 and reversed, order checked first")
        << "open" << em(1960, 5, 2, 0, 0) << em(1960, 5, 1, 0, 0) << kFimAntes;
    QTest::newRow("start one second before 1970")
        << "open" << em(1969, 12, 31, 23, 59, 59) << manha << kForaDoIntervalo;
    QTest::newRow("end at 2038-01-19 03:14:08")
        << "open" << manha << em(2038, 1, 19, 3, 14, 8) << kForaDoIntervalo;
    QTest::newRow("start in 1900, end in 2100")
        << "open" << em(1900, 1, 1, 0, 0) << em(2100, 1, 1, 0, 0) << kForaDoIntervalo;
}

void TestScreen::refusedRequests()
{
    QFETCH(QString, conexao);
    QFETCH(QDateTime, inicio);
    QFETCH(QDateTime, fim);
    QFETCH(QString, texto);
    if (conexao == "open")
        REQUIRE_DATABASE();
    else if (conexao == "failed")
        portaBanco = portaFechada();

    TelaRelatorio tela;
    if (conexao == "none")
        tela.desconectar();
    selecionarPeriodo(tela, inicio, fim);
    auto *botao = filho<QPushButton>(&tela, "botaoGeraRelatorio");
    QSignalSpy andamento(&tela, &TelaRelatorio::relatorioEmAndamento);

    Respondedor respondedor;
    botao->click();
    QCOMPARE(respondedor.caixas, QStringList({"Erro!|" + texto}));
    QVERIFY(respondedor.soAvisosComOk);
    QVERIFY(tela.findChildren<Relatorio *>().isEmpty());
    QVERIFY(botao->isEnabled());
    QCOMPARE(botao->text(), QString("Gerar Relatório"));
    QCOMPARE(andamento.size(), 0);
}

void TestScreen::reportOutcomeAndButton_data()
{
    QTest::addColumn<QDateTime>("inicio");
    QTest::addColumn<QDateTime>("fim");
    QTest::addColumn<QString>("caixa");
    QTest::addColumn<QString>("arquivo");

    const QDateTime manha(QDate(2015, 3, 10), QTime(8, 0));
    QTest::newRow("start equal to end: the job refuses the empty period")
        << manha << manha << kFalha << "";
    QTest::newRow("a day without data")
        << manha << QDateTime(QDate(2015, 3, 10), QTime(18, 0)) << kSucesso
        << "Relatorio_2015-03-10_a_2015-03-10.xls";
    QTest::newRow("the first and last instants the database holds")
        << QDateTime(QDate(1970, 1, 1), QTime(0, 0))
        << QDateTime(QDate(2038, 1, 19), QTime(3, 14, 7)) << kSucesso
        << "Relatorio_1970-01-01_a_2038-01-19.xls";
}

void TestScreen::reportOutcomeAndButton()
{
    QFETCH(QDateTime, inicio);
    QFETCH(QDateTime, fim);
    QFETCH(QString, caixa);
    QFETCH(QString, arquivo);
    REQUIRE_DATABASE();

    TelaRelatorio tela;
    selecionarPeriodo(tela, inicio, fim);
    auto *botao = filho<QPushButton>(&tela, "botaoGeraRelatorio");
    QSignalSpy andamento(&tela, &TelaRelatorio::relatorioEmAndamento);
    Respondedor respondedor;

    botao->click();
    QVERIFY(!botao->isEnabled());
    QCOMPARE(botao->text(), QString("Gerando relatório..."));
    QCOMPARE(andamento.size(), 1);
    QCOMPARE(andamento[0][0].toBool(), true);
    const QList<Relatorio *> jobs = tela.findChildren<Relatorio *>();
    QCOMPARE(jobs.size(), 1);
    QCOMPARE(QString::fromStdString(jobs[0]->caminhoArquivo()),
             diretorio.path() + "/Relatorio_" + inicio.toString("yyyy-MM-dd") + "_a_"
                 + fim.toString("yyyy-MM-dd") + ".xls");

    QTRY_COMPARE(respondedor.caixas, QStringList({caixa}));
    QVERIFY(respondedor.soAvisosComOk);
    QVERIFY(botao->isEnabled());
    QCOMPARE(botao->text(), QString("Gerar Relatório"));
    QCOMPARE(andamento.size(), 2);
    QCOMPARE(andamento[1][0].toBool(), false);
    // The finished job goes away once its outcome has arrived.
    QTRY_VERIFY(tela.findChildren<Relatorio *>().isEmpty());
    if (!arquivo.isEmpty())
        QVERIFY(QFile::exists(diretorio.filePath(arquivo)));
}

void TestScreen::jobGetsPeriodClassesAndSessionChoice_data()
{
    QTest::addColumn<bool>("separar");
    QTest::newRow("sessions together") << false;
    QTest::newRow("sessions separated") << true;
}

void TestScreen::jobGetsPeriodClassesAndSessionChoice()
{
    QFETCH(bool, separar);
    REQUIRE_DATABASE();
    // 10/03/2015 08:00 UTC; one machine session 08:10 to 09:00 with one
    // event of class E.
    const long t0 = 1425974400;
    QVERIFY(TestSupport::exec("insert into funcionario (nome) values ('Máquina')"));
    QVERIFY(TestSupport::exec("insert into treino (nome) values ('Variedade 1')"));
    QVERIFY(TestSupport::exec(
        "insert into sessao (id_funcionario, instante_inicial, instante_final, sensor, "
        "id_treino) values (1, " + std::to_string(t0 + 600) + ", " + std::to_string(t0 + 3600)
        + ", 0, 1)"));
    QVERIFY(TestSupport::exec(
        "insert into evento_muda (id_sessao, id_treino, classificacao, instante) values "
        "(1, 1, 4, " + std::to_string(t0 + 700) + ")"));

    TelaRelatorio tela;
    selecionarPeriodo(tela, QDateTime(QDate(2015, 3, 10), QTime(8, 0, 5)),
                      QDateTime(QDate(2015, 3, 10), QTime(18, 30, 45)));
    filho<QCheckBox>(&tela, "separarSessoes")->setChecked(separar);
    Respondedor respondedor;
    filho<QPushButton>(&tela, "botaoGeraRelatorio")->click();
    QTRY_COMPARE(respondedor.caixas, QStringList({kSucesso}));

    const QByteArray conteudo
        = lerArquivo(diretorio.filePath("Relatorio_2015-03-10_a_2015-03-10.xls"));
    QVERIFY(conteudo.startsWith("Per\xEDodo\tDia\tHora\r\n"
                                "In\xED" "cio\t10/03/2015\t08:00:05\r\n"
                                "Fim\t10/03/2015\t18:30:45\r\n"));
    QVERIFY(conteudo.contains("Classe E produzidas\t1\r\n"));
    QVERIFY(!conteudo.contains("Classe F"));
    QCOMPARE(conteudo.contains("Sess\xE3o in\xED" "cio:\t10/03/2015\t08:10\r\n"), separar);
}

void TestScreen::connectionActionsWaitForTheOutcome()
{
    REQUIRE_DATABASE();
    guardarConfiguracoesDoBanco();
    MainWindow janela;
    auto *tela = qobject_cast<TelaRelatorio *>(janela.centralWidget());
    QVERIFY(tela);
    auto *conectar = filho<QAction>(&janela, "actionConectar");
    auto *desconectar = filho<QAction>(&janela, "actionDesconectar");
    auto *progresso = janela.statusBar()->findChild<QProgressBar *>();
    auto *led = filho<QLedIndicator>(tela, "led");
    QVERIFY(progresso);
    QVERIFY(led->isChecked());
    QVERIFY(progresso->isHidden());
    QSignalSpy mensagens(tela, &TelaRelatorio::message);
    QSignalSpy passos(tela, &TelaRelatorio::progressoRelatorio);
    Respondedor respondedor;

    {
        TabelasTravadas travadas;
        QVERIFY(travadas.ok);
        filho<QPushButton>(tela, "botaoGeraRelatorio")->click();
        QVERIFY(!conectar->isEnabled());
        QVERIFY(!desconectar->isEnabled());
        QVERIFY(!progresso->isHidden());
        QTRY_COMPARE(esperasPorTrava(), QString("1"));

        // The job holds the connection: neither action reaches it.
        desconectar->trigger();
        conectar->trigger();
        QVERIFY(led->isChecked());
        QCOMPARE(mensagens.size(), 0);
        QCOMPARE(conexoesDoPrograma(), QString("1"));
    }

    QTRY_COMPARE(respondedor.caixas, QStringList({kSucesso}));
    QVERIFY(conectar->isEnabled());
    QVERIFY(desconectar->isEnabled());
    QVERIFY(progresso->isHidden());
    QVERIFY(!passos.isEmpty());
    QCOMPARE(progresso->value(), passos.last()[0].toInt());
    QCOMPARE(progresso->maximum(), passos.last()[1].toInt());

    // The connection survived the report and the actions work again.
    desconectar->trigger();
    QVERIFY(!led->isChecked());
    conectar->trigger();
    QVERIFY(led->isChecked());
}

void TestScreen::closingDuringALongReport()
{
    REQUIRE_DATABASE();
    guardarConfiguracoesDoBanco();
    Respondedor respondedor;
    TabelasTravadas travadas;
    QVERIFY(travadas.ok);

    auto janela = std::make_unique<MainWindow>();
    janela->show();
    QVERIFY(QTest::qWaitForWindowExposed(janela.get()));
    filho<QPushButton>(janela->centralWidget(), "botaoGeraRelatorio")->click();
    QTRY_COMPARE(esperasPorTrava(), QString("1"));

    // The tables stay locked: the window can only go because the job's
    // statement was cancelled and its thread ended.
    {
        const TestSupport::CoutCapture cancelado; // the cancelled statement's line
        janela->close();
        janela.reset();
    }
    QCOMPARE(esperasPorTrava(), QString("0"));
    QTRY_COMPARE(conexoesDoPrograma(), QString("0"));
    QCoreApplication::processEvents();
    QVERIFY(respondedor.caixas.isEmpty());
}

void TestScreen::optionsShowStoredSettings()
{
    QSettings().setValue("BD_ADDR", "10.0.0.7");
    QSettings().setValue("5432", "6543");
    QSettings().setValue("DIRETORIO", "/srv/relatorios");
    enderecoBanco = "não salvo";

    OpcoesDialog dialogo;
    QCOMPARE(dialogo.objectName(), QString("OpcoesDialog"));
    QCOMPARE(dialogo.windowTitle(), QString("Opções"));
    QCOMPARE(dialogo.size(), QSize(550, 180));
    QCOMPARE(filho<QDialogButtonBox>(&dialogo, "buttonBox")->geometry(),
             QRect(20, 130, 511, 32));
    QCOMPARE(filho<QWidget>(&dialogo, "layoutWidget")->geometry(), QRect(20, 20, 511, 57));
    QCOMPARE(filho<QLabel>(&dialogo, "lblAddress")->text(), QString("Endereço IP da máquina: "));
    QCOMPARE(filho<QLabel>(&dialogo, "lblPort")->text(), QString("Porta:"));
    QCOMPARE(filho<QLabel>(&dialogo, "lblDir")->text(), QString("Destino dos relatórios:"));
    QCOMPARE(filho<QPushButton>(&dialogo, "btnAlterarDir")->text(), QString("Procurar..."));
    QCOMPARE(filho<QLineEdit>(&dialogo, "txtDir")->minimumWidth(), 300);
    QCOMPARE(filho<QLineEdit>(&dialogo, "txtPort")->sizePolicy().horizontalStretch(), 100);

    QCOMPARE(enderecoBanco, QString("10.0.0.7"));
    QCOMPARE(filho<QLineEdit>(&dialogo, "txtAddress")->text(), QString("10.0.0.7"));
    QCOMPARE(filho<QLineEdit>(&dialogo, "txtPort")->text(), QString("6543"));
    QCOMPARE(filho<QLineEdit>(&dialogo, "txtDir")->text(), QString("/srv/relatorios"));
}

void TestScreen::optionsAccepted()
{
    guardarConfiguracoesDoBanco();
    MainWindow janela;
    const QString mensagem = janela.statusBar()->currentMessage();
    Respondedor respondedor([](QWidget *modal) {
        auto *dialogo = qobject_cast<OpcoesDialog *>(modal);
        QVERIFY(dialogo);
        filho<QLineEdit>(dialogo, "txtAddress")->setText("192.168.0.20");
        filho<QLineEdit>(dialogo, "txtPort")->setText("15432");
        filho<QLineEdit>(dialogo, "txtDir")->setText("/tmp/não existe");
        filho<QDialogButtonBox>(dialogo, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    });

    QString saida;
    {
        TestSupport::CoutCapture captura;
        filho<QAction>(&janela, "actionOpcoes")->trigger();
        saida = QString::fromStdString(captura.text());
    }
    QCOMPARE(saida, QString("Opções salvas.\n"));
    const QSettings configuracoes;
    QCOMPARE(configuracoes.value("BD_ADDR").toString(), QString("192.168.0.20"));
    QCOMPARE(configuracoes.value("5432").toString(), QString("15432"));
    QCOMPARE(configuracoes.value("DIRETORIO").toString(), QString("/tmp/não existe"));
    QCOMPARE(configuracoes.value("SENHA").toString(), QString("PLOVEN"));
    QCOMPARE(enderecoBanco, QString("192.168.0.20"));
    QCOMPARE(janela.statusBar()->currentMessage(), mensagem);
    QVERIFY(janela.findChildren<OpcoesDialog *>().isEmpty());
}

void TestScreen::optionsCancelled_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancel button") << false;
    QTest::newRow("Escape key") << true;
}

void TestScreen::optionsCancelled()
{
    QFETCH(bool, escape);
    MainWindow janela;
    Respondedor respondedor([escape](QWidget *modal) {
        auto *dialogo = qobject_cast<OpcoesDialog *>(modal);
        QVERIFY(dialogo);
        filho<QLineEdit>(dialogo, "txtAddress")->setText("192.168.0.20");
        if (escape)
            QTest::keyClick(dialogo, Qt::Key_Escape);
        else
            filho<QDialogButtonBox>(dialogo, "buttonBox")
                ->button(QDialogButtonBox::Cancel)
                ->click();
    });
    enderecoBanco = "não salvo";

    QString saida;
    {
        TestSupport::CoutCapture captura;
        filho<QAction>(&janela, "actionOpcoes")->trigger();
        saida = QString::fromStdString(captura.text());
    }
    QCOMPARE(saida, QString());
    QVERIFY(QSettings().allKeys().isEmpty());
    // Opening the dialog reloaded the values from the (empty) store.
    QCOMPARE(enderecoBanco, QString("127.0.0.1"));
}

void TestScreen::optionsStoreFieldsAsTyped()
{
    OpcoesDialog dialogo;
    dialogo.show();
    filho<QLineEdit>(&dialogo, "txtAddress")->clear();
    filho<QLineEdit>(&dialogo, "txtPort")->setText("abc");
    filho<QLineEdit>(&dialogo, "txtDir")->setText("/tmp/não existe/");
    dialogo.salvar();
    QVERIFY(dialogo.isVisible());
    const QSettings configuracoes;
    QCOMPARE(configuracoes.allKeys().size(), 4);
    QCOMPARE(configuracoes.value("BD_ADDR", "absent").toString(), QString(""));
    QCOMPARE(configuracoes.value("5432").toString(), QString("abc"));
    QCOMPARE(configuracoes.value("DIRETORIO").toString(), QString("/tmp/não existe/"));
    QCOMPARE(portaBanco, QString("abc"));
}

void TestScreen::directoryChooser_data()
{
    QTest::addColumn<bool>("aceita");
    QTest::newRow("a directory chosen") << true;
    QTest::newRow("chooser cancelled") << false;
}

void TestScreen::directoryChooser()
{
    QFETCH(bool, aceita);
    const QString inicial = diretorio.path();
    const QString escolhido = diretorio.filePath("saida");
    QVERIFY(QDir().mkpath(escolhido));
    QSettings().setValue("DIRETORIO", inicial);

    OpcoesDialog dialogo;
    dialogo.show();
    bool visto = false;
    Respondedor respondedor([&](QWidget *modal) {
        auto *escolha = qobject_cast<QFileDialog *>(modal);
        QVERIFY(escolha);
        visto = true;
        QCOMPARE(escolha->windowTitle(), QString("a"));
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        QCOMPARE(escolha->fileMode(), QFileDialog::DirectoryOnly);
        QT_WARNING_POP
        QVERIFY(escolha->testOption(QFileDialog::ShowDirsOnly));
        QCOMPARE(escolha->directory().absolutePath(), QDir(inicial).absolutePath());
        if (aceita) {
            // As a user who opens the directory and chooses it.
            escolha->setDirectory(escolhido);
            static_cast<QDialog *>(escolha)->accept();
        } else {
            escolha->reject();
        }
    });
    filho<QPushButton>(&dialogo, "btnAlterarDir")->click();
    QVERIFY(visto);
    QCOMPARE(filho<QLineEdit>(&dialogo, "txtDir")->text(), aceita ? escolhido : inicial);
    // Choosing saves nothing.
    QCOMPARE(QSettings().value("DIRETORIO").toString(), inicial);
}

void TestScreen::aboutDialogs()
{
    MainWindow janela;
    janela.show();
    QVERIFY(QTest::qWaitForWindowExposed(&janela));
    auto *sobre = filho<QAction>(&janela, "actionSobre");
    auto sobreAbertos = [&janela] {
        QList<QDialog *> abertos;
        for (QDialog *d : janela.findChildren<QDialog *>("AboutDialog"))
            if (d->isVisible())
                abertos << d;
        return abertos;
    };

    sobre->trigger();
    sobre->trigger();
    const QList<QDialog *> dialogos = janela.findChildren<QDialog *>("AboutDialog");
    QCOMPARE(dialogos.size(), 2);
    QVERIFY(dialogos[0] != dialogos[1]);
    QVERIFY(!QApplication::activeModalWidget());
    QDialog *dialogo = dialogos[0];
    QVERIFY(!dialogo->isModal());
    QCOMPARE(dialogo->windowTitle(), QString("Sobre"));
    QCOMPARE(dialogo->size(), QSize(428, 305));

    auto *logo = filho<QLabel>(dialogo, "logo");
    QCOMPARE(logo->geometry(), QRect(70, 10, 291, 141));
    QCOMPARE(logo->maximumSize(), QSize(291, 141));
    QVERIFY(logo->hasScaledContents());
    QVERIFY(logo->pixmap(Qt::ReturnByValue).size() == QSize(2069, 1000));
    QVERIFY(logo->text().isEmpty());
    auto *texto = filho<QTextEdit>(dialogo, "text");
    QCOMPARE(texto->geometry(), QRect(20, 160, 401, 71));
    QCOMPARE(texto->styleSheet(), QString("background-color:transparent;"));
    QVERIFY(!texto->isReadOnly());
    QCOMPARE(texto->document()->blockCount(), 4);
    QVERIFY(texto->toPlainText().startsWith("Gerador de Relatórios\nVersão: 2.0\n"));
    auto *ok = filho<QPushButton>(dialogo, "btnOk");
    QCOMPARE(ok->text(), QString("Ok"));
    QCOMPARE(ok->geometry(), QRect(180, 260, 75, 23));

    ok->click();
    QCOMPARE(sobreAbertos().size(), 1);
    QCOMPARE(dialogo->result(), int(QDialog::Accepted));

    // F1 in the main window opens a further one.
    QApplication::setActiveWindow(&janela);
    QVERIFY(QTest::qWaitForWindowActive(&janela));
    QTest::keyClick(&janela, Qt::Key_F1);
    QCOMPARE(janela.findChildren<QDialog *>("AboutDialog").size(), 3);
    QCOMPARE(sobreAbertos().size(), 2);
}

void TestScreen::ledDefaults()
{
    QLedIndicator led(nullptr);
    QCOMPARE(led.getOnColor1(), QColor(0, 255, 0, 255));
    QCOMPARE(led.getOffColor1(), QColor(0, 28, 0, 255));
    QCOMPARE(led.getOnColor2(), QColor(0, 192, 0, 255));
    QCOMPARE(led.getOffColor2(), QColor(0, 128, 0, 255));
    QCOMPARE(led.minimumSize(), QSize(24, 24));
    QVERIFY(led.isCheckable());
    QVERIFY(!led.isChecked());
    QVERIFY(led.text().isEmpty());

    const QMetaObject *meta = led.metaObject();
    QCOMPARE(QString(meta->className()), QString("QLedIndicator"));
    QStringList nomes;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        QVERIFY(p.isReadable() && p.isWritable() && p.isDesignable() && p.isStored());
        QCOMPARE(p.userType(), int(QMetaType::QColor));
        nomes << p.name();
    }
    QCOMPARE(nomes, QStringList({"onColor1", "onColor2", "offColor1", "offColor2"}));

    led.click();
    QVERIFY(led.isChecked());
}

void TestScreen::ledDrawing_data()
{
    QTest::addColumn<QSize>("tamanho");
    QTest::addColumn<bool>("aceso");
    QTest::newRow("60x25 lit") << QSize(60, 25) << true;
    QTest::newRow("60x25 dark") << QSize(60, 25) << false;
    QTest::newRow("25x25 lit, odd side") << QSize(25, 25) << true;
    QTest::newRow("25x25 dark, odd side") << QSize(25, 25) << false;
    QTest::newRow("25x61 lit, taller than wide") << QSize(25, 61) << true;
}

void TestScreen::ledDrawing()
{
    QFETCH(QSize, tamanho);
    QFETCH(bool, aceso);

    QLedIndicator led(nullptr);
    led.setChecked(aceso);
    const QImage imagem = desenhar(led, tamanho);
    const int cx = tamanho.width() / 2;
    const int cy = tamanho.height() / 2;
    const int lado = qMin(tamanho.width(), tamanho.height());

    const QColor centro = imagem.pixelColor(cx, cy);
    QVERIFY2(centro.red() < 40 && centro.blue() < 40, qPrintable(centro.name()));
    if (aceso)
        QVERIFY2(centro.green() > 200, qPrintable(centro.name()));
    else
        QVERIFY2(centro.green() < 110, qPrintable(centro.name()));

    // The circle's centre is at the integer halves: the fully covered pixels
    // run symmetrically around cx and cy. With an odd side the circle's edge
    // falls mid-pixel, so one pixel fewer than the side is fully covered.
    const QPair<int, int> linha = opacos(imagem, true, cy);
    const QPair<int, int> coluna = opacos(imagem, false, cx);
    QCOMPARE(linha.first + linha.second + 1, 2 * cx);
    QCOMPARE(coluna.first + coluna.second + 1, 2 * cy);
    QCOMPARE(linha.second - linha.first + 1, lado - 1);
    QCOMPARE(coluna.second - coluna.first + 1, lado - 1);
    // Corners stay empty.
    QCOMPARE(qAlpha(imagem.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(imagem.pixel(tamanho.width() - 1, tamanho.height() - 1)), 0);
}

void TestScreen::ledColourProperties()
{
    QLedIndicator led(nullptr);
    led.setChecked(true);
    QVERIFY(led.setProperty("onColor1", QColor(255, 0, 0)));
    QVERIFY(led.setProperty("onColor2", QColor(255, 0, 0)));
    QCOMPARE(led.property("onColor1").value<QColor>(), QColor(255, 0, 0));
    QCOMPARE(qRed(desenhar(led, QSize(40, 40)).pixel(20, 20)), 255);

    led.setOffColor1(QColor(0, 0, 255));
    led.setOffColor2(QColor(0, 0, 255));
    led.setChecked(false);
    QCOMPARE(led.getOffColor2(), QColor(0, 0, 255));
    QCOMPARE(qBlue(desenhar(led, QSize(40, 40)).pixel(20, 20)), 255);
}

int main(int argc, char *argv[])
{
    // Period bounds in the tests are written in UTC, where the database's
    // limits are round.
    qputenv("TZ", "UTC");
    QCoreApplication::setOrganizationName("Quorbel");
    QCoreApplication::setApplicationName("RelatorioGerador");
    Q_INIT_RESOURCE(img);
    QApplication app(argc, argv);
    TestScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screen.moc"
