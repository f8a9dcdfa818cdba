// relatorio-cli: writes one report without the window, for scheduled and
// unattended runs. Same job, same settings store and same database account as
// the report screen; messages for people go to standard error, the database
// layer's diagnostic lines stay on standard output.
//
// main() runs five steps: read the arguments, complete them from the
// settings, connect, run the job, report the outcome.

#include "cli/interrupcao.h"
#include "config/configuracoes.h"
#include "config/maquina.h"
#include "db/databaseconnection.h"
#include "report/periodo.h"
#include "report/relatorio.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>
#include <QTimer>

#ifdef _WIN32
#include <winsock2.h>

#include <io.h>
#include <windows.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

enum Saida { Gerado = 0, NaoGerado = 1, ArgumentosInvalidos = 2 };

const QString kFormatoInstante = QStringLiteral("dd/MM/yyyy hh:mm:ss");
// Returned by a step when main() goes on to the next one.
constexpr int kContinuar = -1;

// What the caller asked for, completed from the settings.
struct Pedido
{
    QDateTime inicio;
    QDateTime fim;
    bool separarSessoes = false;
    QString diretorio;
    QString endereco;
    QString porta;
    // Seconds the report may take once connected; 0 for no limit.
    int tempoLimite = 0;
    Relatorio::Formato formato = Relatorio::Formato::Texto;
};

void escreverErro(const QString &texto)
{
    std::fputs(texto.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The command line's options and its parser.
struct LinhaDeComando
{
    LinhaDeComando();

    QString textoDeAjuda() const;
    int argumentosInvalidos(const QString &mensagem) const;
    // The reason parse() failed, in Portuguese.
    QString motivoDoErro(const QStringList &argumentos) const;

    QCommandLineParser parser;
    const QCommandLineOption ajuda{{QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Mostra esta ajuda.")};
    const QCommandLineOption versao{{QStringLiteral("v"), QStringLiteral("version")},
                                    QStringLiteral("Mostra a versão.")};
    const QCommandLineOption inicio{QStringLiteral("inicio"),
                                    QStringLiteral("Início do período (hora local)."),
                                    QStringLiteral("AAAA-MM-DD HH:MM[:SS]")};
    const QCommandLineOption fim{QStringLiteral("fim"),
                                 QStringLiteral("Fim do período (hora local)."),
                                 QStringLiteral("AAAA-MM-DD HH:MM[:SS]")};
    const QCommandLineOption periodo{
        QStringLiteral("periodo"),
        QStringLiteral("Período com nome, em vez de --inicio e --fim: ontem, semana-passada "
                       "(segunda a domingo), mes-passado ou hoje (até agora)."),
        QStringLiteral("NOME")};
    const QCommandLineOption separar{
        QStringLiteral("separar-sessoes"),
        QStringLiteral("Um resumo por sessão da máquina em vez de um por variedade.")};
    const QCommandLineOption diretorio{QStringLiteral("diretorio"),
                                       QStringLiteral("Diretório do arquivo gerado."),
                                       QStringLiteral("DIR")};
    const QCommandLineOption endereco{QStringLiteral("endereco"),
                                      QStringLiteral("Endereço IP da máquina."),
                                      QStringLiteral("IP")};
    const QCommandLineOption porta{QStringLiteral("porta"),
                                   QStringLiteral("Porta do banco de dados."),
                                   QStringLiteral("PORTA")};
    const QCommandLineOption tempoLimite{
        QStringLiteral("tempo-limite"),
        QStringLiteral("Cancela o relatório que, depois de conectado, não terminar em SEGUNDOS "
                       "(padrão: sem limite)."),
        QStringLiteral("SEGUNDOS")};
    const QCommandLineOption formato{
        QStringLiteral("formato"),
        QStringLiteral("xls: texto separado por tabulações; xlsx: pasta de trabalho com gráfico "
                       "(padrão: o das configurações)."),
        QStringLiteral("xls|xlsx")};
};

LinhaDeComando::LinhaDeComando()
{
    parser.setApplicationDescription(QStringLiteral(
        "Gera o relatório de produção de um período, sem abrir a janela do programa.\n"
        "Os valores padrão de diretório, endereço e porta vêm das configurações do "
        "programa."));
    for (const QCommandLineOption &opcao :
         {ajuda, versao, inicio, fim, periodo, separar, diretorio, endereco, porta, tempoLimite})
        parser.addOption(opcao);
    parser.addOption(formato);
}

QString LinhaDeComando::textoDeAjuda() const
{
    QString texto = parser.helpText();
    texto.replace(QStringLiteral("Usage: "), QStringLiteral("Uso: "));
    texto.replace(QStringLiteral("[options]"), QStringLiteral("[opções]"));
    texto.replace(QStringLiteral("Options:"), QStringLiteral("Opções:"));
    return texto;
}

int LinhaDeComando::argumentosInvalidos(const QString &mensagem) const
{
    escreverErro(QStringLiteral("relatorio-cli: ") + mensagem);
    std::fputs("\n", stderr);
    std::fputs(textoDeAjuda().toUtf8().constData(), stderr);
    std::fflush(stderr);
    return ArgumentosInvalidos;
}

QString LinhaDeComando::motivoDoErro(const QStringList &argumentos) const
{
    const QStringList desconhecidas = parser.unknownOptionNames();
    if (!desconhecidas.isEmpty()) {
        const QString nome = desconhecidas.first();
        return QStringLiteral("opção desconhecida: %1%2")
            .arg(nome.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), nome);
    }
    for (const QCommandLineOption *opcao :
         {&inicio, &fim, &periodo, &diretorio, &endereco, &porta, &tempoLimite, &formato}) {
        const QString nome = opcao->names().first();
        if (!argumentos.isEmpty() && argumentos.last() == QStringLiteral("--") + nome)
            return QStringLiteral("falta o valor da opção --%1.").arg(nome);
    }
    return QStringLiteral("argumentos inválidos (%1).").arg(parser.errorText());
}

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS", local time; invalid when it
// does not read as such. A time the clock skips gives the first instant
// after the gap, and `ajustado` says so.
QDateTime lerDataHora(const QString &texto, bool *ajustado)
{
    const QStringList partes = texto.split(QLatin1Char(' '));
    if (partes.size() != 2)
        return QDateTime();
    const QDate data = QDate::fromString(partes[0], QStringLiteral("yyyy-MM-dd"));
    QTime hora = QTime::fromString(partes[1], QStringLiteral("HH:mm:ss"));
    if (!hora.isValid())
        hora = QTime::fromString(partes[1], QStringLiteral("HH:mm"));
    if (!data.isValid() || !hora.isValid())
        return QDateTime();
    return instanteLocal(data, hora, ajustado);
}

// One bound of the period, read into `instante`.
int lerLimite(const LinhaDeComando &linha, const QCommandLineOption &opcao, QDateTime &instante)
{
    const QString nome = opcao.names().first();
    const QString texto = linha.parser.value(opcao);
    bool ajustado = false;
    instante = lerDataHora(texto, &ajustado);
    if (!instante.isValid())
        return linha.argumentosInvalidos(
            QStringLiteral("data e hora inválidas em --%1: \"%2\" (use AAAA-MM-DD HH:MM ou "
                           "AAAA-MM-DD HH:MM:SS, por exemplo \"2015-03-01 08:00\").")
                .arg(nome, texto));
    if (ajustado)
        escreverErro(
            QStringLiteral("relatorio-cli: %1 não existe na hora local (o relógio "
                           "salta essa hora no início do horário de verão); --%2 usa "
                           "%3, o primeiro instante depois do salto.")
                .arg(texto, nome, instante.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    if (!instanteRegistravel(instante))
        return linha.argumentosInvalidos(
            QStringLiteral("--%1 fora do que o banco de dados registra: o período deve estar "
                           "entre %2 e %3.")
                .arg(nome, primeiroInstanteRegistravel().toString(kFormatoInstante),
                     ultimoInstanteRegistravel().toString(kFormatoInstante)));
    return kContinuar;
}

// --periodo: a named period as the clock reads now, instead of --inicio and
// --fim.
int lerPeriodo(const LinhaDeComando &linha, Pedido &pedido)
{
    if (linha.parser.isSet(linha.inicio) || linha.parser.isSet(linha.fim))
        return linha.argumentosInvalidos(
            QStringLiteral("use --periodo ou --inicio e --fim, não os dois."));
    const QString nome = linha.parser.value(linha.periodo);
    const std::optional<Periodo> periodo = periodoNomeado(nome, QDateTime::currentDateTime());
    if (!periodo)
        return linha.argumentosInvalidos(
            QStringLiteral("período desconhecido: \"%1\" (use ontem, semana-passada, "
                           "mes-passado ou hoje).")
                .arg(nome));
    if (!instanteRegistravel(periodo->inicio) || !instanteRegistravel(periodo->fim))
        return linha.argumentosInvalidos(
            QStringLiteral("--periodo %1 fora do que o banco de dados registra: o período deve "
                           "estar entre %2 e %3.")
                .arg(nome, primeiroInstanteRegistravel().toString(kFormatoInstante),
                     ultimoInstanteRegistravel().toString(kFormatoInstante)));
    pedido.inicio = periodo->inicio;
    pedido.fim = periodo->fim;
    return kContinuar;
}

bool enderecoNumerico(const QString &texto)
{
    const QByteArray bytes = texto.toLatin1();
    unsigned char destino[sizeof(in6_addr)];
    return inet_pton(AF_INET, bytes.constData(), destino) == 1
           || inet_pton(AF_INET6, bytes.constData(), destino) == 1;
}

// Step 1: the period and the mode; help and version end here.
int lerArgumentos(LinhaDeComando &linha, const QStringList &argumentos, Pedido &pedido)
{
    QCommandLineParser &parser = linha.parser;
    if (!parser.parse(argumentos))
        return linha.argumentosInvalidos(linha.motivoDoErro(argumentos));
    if (parser.isSet(linha.ajuda)) {
        std::fputs(linha.textoDeAjuda().toUtf8().constData(), stdout);
        return Gerado;
    }
    if (parser.isSet(linha.versao)) {
        std::printf("relatorio-cli %s\n", QUORBEL_VERSION);
        return Gerado;
    }
    if (!parser.positionalArguments().isEmpty())
        return linha.argumentosInvalidos(QStringLiteral("argumento inesperado: \"%1\".")
                                             .arg(parser.positionalArguments().first()));
    if (parser.isSet(linha.periodo)) {
        const int status = lerPeriodo(linha, pedido);
        if (status != kContinuar)
            return status;
    } else {
        if (!parser.isSet(linha.inicio) || !parser.isSet(linha.fim))
            return linha.argumentosInvalidos(QStringLiteral(
                "informe o início e o fim do período (--inicio e --fim) ou um --periodo."));
        for (const auto &[opcao, instante] :
             {std::pair(&linha.inicio, &pedido.inicio), std::pair(&linha.fim, &pedido.fim)}) {
            const int status = lerLimite(linha, *opcao, *instante);
            if (status != kContinuar)
                return status;
        }
    }
    pedido.separarSessoes = parser.isSet(linha.separar);
    if (parser.isSet(linha.tempoLimite)) {
        bool numero = false;
        pedido.tempoLimite = parser.value(linha.tempoLimite).toInt(&numero);
        if (!numero || pedido.tempoLimite < 1 || pedido.tempoLimite > 86400 * 366)
            return linha.argumentosInvalidos(
                QStringLiteral("tempo limite inválido: \"%1\" (um número de segundos, de 1 "
                               "em diante).")
                    .arg(parser.value(linha.tempoLimite)));
    }
    return kContinuar;
}

// Step 2: directory, address and port from the command line or else from the
// program's settings, checked.
int completarComConfiguracoes(const LinhaDeComando &linha, Pedido &pedido)
{
    const QCommandLineParser &parser = linha.parser;
    if (!carregarConfiguracoes()
        && !(parser.isSet(linha.diretorio) && parser.isSet(linha.endereco)
             && parser.isSet(linha.porta))) {
        escreverErro(QStringLiteral("relatorio-cli: não foi possível ler as configurações em "
                                    "%1; corrija o arquivo ou informe --diretorio, --endereco "
                                    "e --porta. Nenhum relatório foi gerado.")
                         .arg(arquivoDeConfiguracoes()));
        return NaoGerado;
    }
    pedido.diretorio
        = parser.isSet(linha.diretorio) ? parser.value(linha.diretorio) : diretorioRelatorio;
    pedido.endereco = parser.isSet(linha.endereco) ? parser.value(linha.endereco) : enderecoBanco;
    const QString porta = parser.isSet(linha.porta) ? parser.value(linha.porta) : portaBanco;

    if (pedido.diretorio.isEmpty())
        return linha.argumentosInvalidos(QStringLiteral("o diretório está vazio."));
    if (!enderecoNumerico(pedido.endereco))
        return linha.argumentosInvalidos(
            QStringLiteral("endereço IP inválido: \"%1\" (use o endereço numérico da máquina, "
                           "por exemplo 192.168.0.10).")
                .arg(pedido.endereco));
    bool portaNumerica = false;
    const uint numeroPorta = porta.toUInt(&portaNumerica);
    if (!portaNumerica || numeroPorta < 1 || numeroPorta > 65535)
        return linha.argumentosInvalidos(
            QStringLiteral("porta inválida: \"%1\" (um número de 1 a 65535).").arg(porta));
    pedido.porta = QString::number(numeroPorta);
    const QString formato
        = parser.isSet(linha.formato) ? parser.value(linha.formato) : formatoRelatorio;
    if (!Relatorio::formatoPeloNome(formato, pedido.formato))
        return linha.argumentosInvalidos(
            QStringLiteral("formato inválido: \"%1\" (use xls ou xlsx).").arg(formato));

    if (!(pedido.inicio < pedido.fim)) {
        escreverErro(QStringLiteral("relatorio-cli: o início do período deve ser anterior ao "
                                    "fim; nenhum relatório foi gerado."));
        return NaoGerado;
    }
    return kContinuar;
}

// Step 3: the connection to the machine's database; an interruption meanwhile
// ends the program at once, as nothing has been written yet.
int conectar(const Pedido &pedido, DatabaseConnection &conexao)
{
    Interrupcao::sairAoInterromper("\nInterrompido antes de gerar o relat\xC3\xB3rio.\n",
                                   NaoGerado);
    if (conexao.connect())
        return kContinuar;
    escreverErro(QStringLiteral("relatorio-cli: falha ao conectar com o banco de dados em %1, "
                                "porta %2. Verifique se o endereço de IP da máquina está "
                                "correto.")
                     .arg(pedido.endereco, pedido.porta));
    const QString motivo = QString::fromStdString(conexao.errorMessage());
    if (!motivo.isEmpty())
        escreverErro(motivo);
    return NaoGerado;
}

// Step 4: the report job on its thread, with progress on a terminal and
// interruptions turned into a cancellation. True when the job succeeded.
struct Execucao
{
    bool sucesso = false;
    bool interrompido = false;
    bool tempoEsgotado = false;
};

Execucao executar(QCoreApplication &app, Relatorio &relatorio, Interrupcao &interrupcao,
                  int tempoLimite)
{
    Execucao execucao;
    QTimer prazo;
    prazo.setSingleShot(true);
    QObject::connect(&prazo, &QTimer::timeout, &app, [&]() {
        execucao.tempoEsgotado = true;
        relatorio.cancelar();
    });
    if (tempoLimite > 0)
        prazo.start(std::chrono::seconds(tempoLimite));
    QObject::connect(&interrupcao, &Interrupcao::interrompido, &app, [&]() {
        escreverErro(QStringLiteral("\nrelatorio-cli: interrompendo o relatório..."));
        relatorio.cancelar();
    });

#ifdef _WIN32
    const bool terminal = _isatty(_fileno(stderr)) != 0;
#else
    const bool terminal = isatty(STDERR_FILENO) == 1;
#endif
    bool linhaDeProgresso = false;
    QObject::connect(&relatorio, &Relatorio::progresso, &app, [&](int feitos, int previstos) {
        if (!terminal || interrupcao.houve())
            return;
        std::fprintf(stderr, "\rGerando relatório: %d de %d  ", feitos, previstos);
        std::fflush(stderr);
        linhaDeProgresso = true;
    });
    QObject::connect(&relatorio, &Relatorio::relatorioGerado, &app, [&](bool resultado) {
        execucao.sucesso = resultado;
        app.quit();
    });

    relatorio.start();
    app.exec();
    relatorio.wait();
    // A signal that came after the job's last step still counts.
    execucao.interrompido = interrupcao.houveAoFinal();
    if (linhaDeProgresso)
        std::fputc('\n', stderr);
    return execucao;
}

// Step 5: the outcome, for people on standard error and as the exit status.
int informarResultado(const Execucao &execucao, const QString &caminho, int tempoLimite)
{
    if (execucao.interrompido) {
        escreverErro(QStringLiteral("relatorio-cli: relatório interrompido; %1 não foi gravado.")
                         .arg(caminho));
        return NaoGerado;
    }
    if (execucao.tempoEsgotado && !execucao.sucesso) {
        escreverErro(QStringLiteral("relatorio-cli: o relatório não terminou em %1 s (--tempo-"
                                    "limite) e foi cancelado; %2 não foi gravado.")
                         .arg(tempoLimite)
                         .arg(caminho));
        return NaoGerado;
    }
    if (!execucao.sucesso) {
        escreverErro(QStringLiteral("relatorio-cli: falha ao gerar o relatório %1; veja as "
                                    "mensagens acima.")
                         .arg(caminho));
        return NaoGerado;
    }
    escreverErro(QStringLiteral("Relatório gravado em %1").arg(caminho));
    return Gerado;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef _WIN32
    // The messages are UTF-8: so is the console, while the program runs.
    SetConsoleOutputCP(CP_UTF8);
#endif
    // Unattended runs must not hang on a silent machine.
    definirTempoLimiteConexaoPadrao();
    definirIdentidadeDoPrograma();
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORBEL_VERSION));
    QCoreApplication app(argc, argv);

    LinhaDeComando linha;
    Pedido pedido;
    int status = lerArgumentos(linha, app.arguments(), pedido);
    if (status == kContinuar)
        status = completarComConfiguracoes(linha, pedido);
    if (status != kContinuar)
        return status;

    const std::unique_ptr<DatabaseConnection> conexao
        = conexaoComAMaquina(pedido.endereco.toStdString(), pedido.porta.toStdString());
    status = conectar(pedido, *conexao);
    if (status != kContinuar)
        return status;

    Interrupcao interrupcao;
    if (!interrupcao.entregarNoLaco()) {
        escreverErro(QStringLiteral("relatorio-cli: não foi possível preparar o tratamento de "
                                    "sinais."));
        return NaoGerado;
    }
    Relatorio relatorio;
    relatorio.configurar(conexao.get(), pedido.inicio, pedido.fim, kNumeroClasses,
                         pedido.diretorio.toStdString(), pedido.separarSessoes);
    relatorio.definirFormato(pedido.formato);
    const Execucao execucao = executar(app, relatorio, interrupcao, pedido.tempoLimite);
    return informarResultado(execucao, QString::fromStdString(relatorio.caminhoArquivo()),
                             pedido.tempoLimite);
}
