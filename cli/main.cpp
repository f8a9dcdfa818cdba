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
#include "report/relatorio.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <arpa/inet.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

enum Saida { Gerado = 0, NaoGerado = 1, ArgumentosInvalidos = 2 };
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
};

LinhaDeComando::LinhaDeComando()
{
    parser.setApplicationDescription(QStringLiteral(
        "Gera o relatório de produção de um período, sem abrir a janela do programa.\n"
        "Os valores padrão de diretório, endereço e porta vêm das configurações do "
        "programa."));
    for (const QCommandLineOption &opcao :
         {ajuda, versao, inicio, fim, separar, diretorio, endereco, porta})
        parser.addOption(opcao);
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
    for (const QCommandLineOption *opcao : {&inicio, &fim, &diretorio, &endereco, &porta}) {
        const QString nome = opcao->names().first();
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
    if (!parser.isSet(linha.inicio) || !parser.isSet(linha.fim))
        return linha.argumentosInvalidos(
            QStringLiteral("informe o início e o fim do período (--inicio e --fim)."));

    const QString formatoEsperado
        = QStringLiteral("use AAAA-MM-DD HH:MM ou AAAA-MM-DD HH:MM:SS, por exemplo "
                         "\"2015-03-01 08:00\"");
    pedido.inicio = lerDataHora(parser.value(linha.inicio));
    if (!pedido.inicio.isValid())
        return linha.argumentosInvalidos(
            QStringLiteral("data e hora inválidas em --inicio: \"%1\" (%2).")
                .arg(parser.value(linha.inicio), formatoEsperado));
    pedido.fim = lerDataHora(parser.value(linha.fim));
    if (!pedido.fim.isValid())
        return linha.argumentosInvalidos(
            QStringLiteral("data e hora inválidas em --fim: \"%1\" (%2).")
                .arg(parser.value(linha.fim), formatoEsperado));
    pedido.separarSessoes = parser.isSet(linha.separar);
    return kContinuar;
}

// Step 2: directory, address and port from the command line or else from the
// program's settings, checked.
int completarComConfiguracoes(const LinhaDeComando &linha, Pedido &pedido)
{
    const QCommandLineParser &parser = linha.parser;
    carregarConfiguracoes();
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
};

Execucao executar(QCoreApplication &app, Relatorio &relatorio, Interrupcao &interrupcao)
{
    Execucao execucao;
    QObject::connect(&interrupcao, &Interrupcao::interrompido, &app, [&]() {
        escreverErro(QStringLiteral("\nrelatorio-cli: interrompendo o relatório..."));
        relatorio.cancelar();
    });

    const bool terminal = isatty(STDERR_FILENO) == 1;
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
int informarResultado(const Execucao &execucao, const QString &caminho)
{
    if (execucao.interrompido) {
        escreverErro(QStringLiteral("relatorio-cli: relatório interrompido; o arquivo %1 pode "
                                    "estar incompleto.")
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
    const Execucao execucao = executar(app, relatorio, interrupcao);
    return informarResultado(execucao, QString::fromStdString(relatorio.caminhoArquivo()));
}
