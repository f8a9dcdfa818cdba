// relatorio-cli: writes one report without the window, for scheduled and
// unattended runs. Same job, same settings store and same database account as
// the report screen; messages for people go to standard error, the database
// layer's diagnostic lines stay on standard output.

#include "app/configuracoes.h"
#include "db/databaseconnection.h"
#include "report/relatorio.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QStringList>

#include <libpq-fe.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace {

enum Saida { Gerado = 0, NaoGerado = 1, ArgumentosInvalidos = 2 };

constexpr int kNumeroClasses = 5;

// Self-pipe: the signal handler only writes one byte; the event loop reads it
// and cancels the report from the main thread.
int pipeSinal[2] = {-1, -1};

void aoReceberSinal(int)
{
    const int errnoSalvo = errno;
    const char byte = 1;
    if (write(pipeSinal[1], &byte, 1) < 0) {
        // Nothing to do: a byte already waits in the pipe.
    }
    errno = errnoSalvo;
}

// While libpq connects the event loop is not running yet, and nothing has
// been written: leave at once.
void aoReceberSinalAoConectar(int)
{
    static const char mensagem[] = "\nInterrompido antes de gerar o relat\xC3\xB3rio.\n";
    if (write(STDERR_FILENO, mensagem, sizeof mensagem - 1) < 0) {
        // Leaving anyway.
    }
    _exit(NaoGerado);
}

void instalarTratador(void (*tratador)(int))
{
    struct sigaction acao = {};
    acao.sa_handler = tratador;
    sigemptyset(&acao.sa_mask);
    acao.sa_flags = SA_RESTART;
    sigaction(SIGINT, &acao, nullptr);
    sigaction(SIGTERM, &acao, nullptr);
}

void escreverErro(const QString &texto)
{
    std::fputs(texto.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

QString textoDeAjuda(const QCommandLineParser &parser)
{
    QString texto = parser.helpText();
    texto.replace(QStringLiteral("Usage: "), QStringLiteral("Uso: "));
    texto.replace(QStringLiteral("[options]"), QStringLiteral("[opções]"));
    texto.replace(QStringLiteral("Options:"), QStringLiteral("Opções:"));
    return texto;
}

int argumentosInvalidos(const QCommandLineParser &parser, const QString &mensagem)
{
    escreverErro(QStringLiteral("relatorio-cli: ") + mensagem);
    std::fputs("\n", stderr);
    std::fputs(textoDeAjuda(parser).toUtf8().constData(), stderr);
    std::fflush(stderr);
    return ArgumentosInvalidos;
}

// The reason parse() failed, in Portuguese.
QString motivoDoErro(const QCommandLineParser &parser, const QStringList &argumentos,
                     const QStringList &opcoesComValor)
{
    const QStringList desconhecidas = parser.unknownOptionNames();
    if (!desconhecidas.isEmpty()) {
        const QString nome = desconhecidas.first();
        return QStringLiteral("opção desconhecida: %1%2")
            .arg(nome.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), nome);
    }
    for (const QString &nome : opcoesComValor) {
        if (!argumentos.isEmpty() && argumentos.last() == QStringLiteral("--") + nome)
            return QStringLiteral("falta o valor da opção --%1.").arg(nome);
    }
    return QStringLiteral("argumentos inválidos (%1).").arg(parser.errorText());
}

// "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS", local time.
QDateTime lerDataHora(const QString &texto)
{
    for (const char *formato : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm"}) {
        const QDateTime valor = QDateTime::fromString(texto, QString::fromLatin1(formato));
        if (valor.isValid())
            return valor;
    }
    return QDateTime();
}

bool enderecoNumerico(const QString &texto)
{
    const QByteArray bytes = texto.toLatin1();
    unsigned char destino[sizeof(in6_addr)];
    return inet_pton(AF_INET, bytes.constData(), destino) == 1
           || inet_pton(AF_INET6, bytes.constData(), destino) == 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Unattended runs must not hang on a silent machine.
    definirTempoLimiteConexaoPadrao();

    // The names locate the settings store shared with the window.
    QCoreApplication::setOrganizationName(QStringLiteral("Quorbel"));
    QCoreApplication::setApplicationName(QStringLiteral("RelatorioGerador"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORBEL_VERSION));
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Gera o relatório de produção de um período, sem abrir a janela do programa.\n"
        "Os valores padrão de diretório, endereço e porta vêm das configurações do "
        "programa."));
    const QCommandLineOption opcaoAjuda({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Mostra esta ajuda."));
    const QCommandLineOption opcaoVersao({QStringLiteral("v"), QStringLiteral("version")},
                                         QStringLiteral("Mostra a versão."));
    const QCommandLineOption opcaoInicio(QStringLiteral("inicio"),
                                         QStringLiteral("Início do período (hora local)."),
                                         QStringLiteral("AAAA-MM-DD HH:MM[:SS]"));
    const QCommandLineOption opcaoFim(QStringLiteral("fim"),
                                      QStringLiteral("Fim do período (hora local)."),
                                      QStringLiteral("AAAA-MM-DD HH:MM[:SS]"));
    const QCommandLineOption opcaoSeparar(
        QStringLiteral("separar-sessoes"),
        QStringLiteral("Um resumo por sessão da máquina em vez de um por variedade."));
    const QCommandLineOption opcaoDiretorio(QStringLiteral("diretorio"),
                                            QStringLiteral("Diretório do arquivo gerado."),
                                            QStringLiteral("DIR"));
    const QCommandLineOption opcaoEndereco(QStringLiteral("endereco"),
                                           QStringLiteral("Endereço IP da máquina."),
                                           QStringLiteral("IP"));
    const QCommandLineOption opcaoPorta(QStringLiteral("porta"),
                                        QStringLiteral("Porta do banco de dados."),
                                        QStringLiteral("PORTA"));
    for (const QCommandLineOption &opcao :
         {opcaoAjuda, opcaoVersao, opcaoInicio, opcaoFim, opcaoSeparar, opcaoDiretorio,
          opcaoEndereco, opcaoPorta})
        parser.addOption(opcao);

    const QStringList argumentos = app.arguments();
    if (!parser.parse(argumentos)) {
        const QStringList comValor = {QStringLiteral("inicio"), QStringLiteral("fim"),
                                      QStringLiteral("diretorio"), QStringLiteral("endereco"),
                                      QStringLiteral("porta")};
        return argumentosInvalidos(parser, motivoDoErro(parser, argumentos, comValor));
    }
    if (parser.isSet(opcaoAjuda)) {
        std::fputs(textoDeAjuda(parser).toUtf8().constData(), stdout);
        return Gerado;
    }
    if (parser.isSet(opcaoVersao)) {
        std::printf("relatorio-cli %s\n", QUORBEL_VERSION);
        return Gerado;
    }
    if (!parser.positionalArguments().isEmpty())
        return argumentosInvalidos(parser, QStringLiteral("argumento inesperado: \"%1\".")
                                               .arg(parser.positionalArguments().first()));
    if (!parser.isSet(opcaoInicio) || !parser.isSet(opcaoFim))
        return argumentosInvalidos(
            parser, QStringLiteral("informe o início e o fim do período (--inicio e --fim)."));

    const QString formatoEsperado
        = QStringLiteral("use AAAA-MM-DD HH:MM ou AAAA-MM-DD HH:MM:SS, por exemplo "
                         "\"2015-03-01 08:00\"");
    const QDateTime inicio = lerDataHora(parser.value(opcaoInicio));
    if (!inicio.isValid())
        return argumentosInvalidos(parser, QStringLiteral("data e hora inválidas em --inicio: "
                                                          "\"%1\" (%2).")
                                               .arg(parser.value(opcaoInicio), formatoEsperado));
    const QDateTime fim = lerDataHora(parser.value(opcaoFim));
    if (!fim.isValid())
        return argumentosInvalidos(parser, QStringLiteral("data e hora inválidas em --fim: "
                                                          "\"%1\" (%2).")
                                               .arg(parser.value(opcaoFim), formatoEsperado));

    carregarConfiguracoes();
    const QString diretorio
        = parser.isSet(opcaoDiretorio) ? parser.value(opcaoDiretorio) : diretorioRelatorio;
    const QString endereco
        = parser.isSet(opcaoEndereco) ? parser.value(opcaoEndereco) : enderecoBanco;
    const QString porta = parser.isSet(opcaoPorta) ? parser.value(opcaoPorta) : portaBanco;

    if (diretorio.isEmpty())
        return argumentosInvalidos(parser, QStringLiteral("o diretório está vazio."));
    if (!enderecoNumerico(endereco))
        return argumentosInvalidos(parser, QStringLiteral("endereço IP inválido: \"%1\" (use o "
                                                          "endereço numérico da máquina, por "
                                                          "exemplo 192.168.0.10).")
                                               .arg(endereco));
    bool portaNumerica = false;
    const uint numeroPorta = porta.toUInt(&portaNumerica);
    if (!portaNumerica || numeroPorta < 1 || numeroPorta > 65535)
        return argumentosInvalidos(parser, QStringLiteral("porta inválida: \"%1\" (um número "
                                                          "de 1 a 65535).")
                                               .arg(porta));

    if (!(inicio < fim)) {
        escreverErro(QStringLiteral("relatorio-cli: o início do período deve ser anterior ao "
                                    "fim; nenhum relatório foi gerado."));
        return NaoGerado;
    }

    instalarTratador(aoReceberSinalAoConectar);
    DatabaseConnection conexao("quorbel", "tarnek", "BDQuorbel", endereco.toStdString(),
                               QString::number(numeroPorta).toStdString());
    if (!conexao.connect()) {
        const QString motivo = QString::fromUtf8(PQerrorMessage(conexao.handle())).trimmed();
        escreverErro(QStringLiteral("relatorio-cli: falha ao conectar com o banco de dados em "
                                    "%1, porta %2. Verifique se o endereço de IP da máquina "
                                    "está correto.")
                         .arg(endereco, QString::number(numeroPorta)));
        if (!motivo.isEmpty())
            escreverErro(motivo);
        return NaoGerado;
    }

    if (pipe2(pipeSinal, O_CLOEXEC | O_NONBLOCK) != 0) {
        escreverErro(QStringLiteral("relatorio-cli: não foi possível preparar o tratamento de "
                                    "sinais."));
        return NaoGerado;
    }
    instalarTratador(aoReceberSinal);

    Relatorio relatorio;
    relatorio.configurar(&conexao, inicio, fim, kNumeroClasses, diretorio.toStdString(),
                         parser.isSet(opcaoSeparar));
    const QString caminho = QString::fromStdString(relatorio.caminhoArquivo());

    bool interrompido = false;
    QSocketNotifier notificador(pipeSinal[0], QSocketNotifier::Read);
    QObject::connect(&notificador, &QSocketNotifier::activated, &app, [&]() {
        char bytes[16];
        while (read(pipeSinal[0], bytes, sizeof bytes) > 0) {
        }
        if (!interrompido) {
            interrompido = true;
            escreverErro(QStringLiteral("\nrelatorio-cli: interrompendo o relatório..."));
            relatorio.cancelar();
        }
    });

    const bool terminal = isatty(STDERR_FILENO) == 1;
    bool linhaDeProgresso = false;
    QObject::connect(&relatorio, &Relatorio::progresso, &app, [&](int feitos, int previstos) {
        if (!terminal || interrompido)
            return;
        std::fprintf(stderr, "\rGerando relatório: %d de %d  ", feitos, previstos);
        std::fflush(stderr);
        linhaDeProgresso = true;
    });
    bool sucesso = false;
    QObject::connect(&relatorio, &Relatorio::relatorioGerado, &app, [&](bool resultado) {
        sucesso = resultado;
        app.quit();
    });

    relatorio.start();
    app.exec();
    relatorio.wait();

    // A signal that came after the job's last step still counts.
    char byte;
    if (read(pipeSinal[0], &byte, 1) > 0)
        interrompido = true;
    if (linhaDeProgresso)
        std::fputc('\n', stderr);

    if (interrompido) {
        escreverErro(QStringLiteral("relatorio-cli: relatório interrompido; o arquivo %1 pode "
                                    "estar incompleto.")
                         .arg(caminho));
        return NaoGerado;
    }
    if (!sucesso) {
        escreverErro(QStringLiteral("relatorio-cli: falha ao gerar o relatório %1; veja as "
                                    "mensagens acima.")
                         .arg(caminho));
        return NaoGerado;
    }
    escreverErro(QStringLiteral("Relatório gravado em %1").arg(caminho));
    return Gerado;
}
