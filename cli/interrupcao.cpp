#include "cli/interrupcao.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

// The signal handler only writes one byte; the event loop reads it.
int pipeSinal[2] = {-1, -1};

const char *mensagemDeSaida = "";
int codigoDeSaida = 1;

void aoReceberSinal(int)
{
    const int errnoSalvo = errno;
    const char byte = 1;
    if (write(pipeSinal[1], &byte, 1) < 0) {
        // Nothing to do: a byte already waits in the pipe.
    }
    errno = errnoSalvo;
}

void sairAgora(int)
{
    if (write(STDERR_FILENO, mensagemDeSaida, std::strlen(mensagemDeSaida)) < 0) {
        // Leaving anyway.
    }
    _exit(codigoDeSaida);
}

void instalarTratador(void (*tratador)(int))
{
    struct sigaction acao = {};
    acao.sa_handler = tratador;
    sigemptyset(&acao.sa_mask);
    acao.sa_flags = SA_RESTART;
    sigaction(SIGINT, &acao, nullptr);
    sigaction(SIGTERM, &acao, nullptr);
    sigaction(SIGHUP, &acao, nullptr);
}

} // namespace

Interrupcao::Interrupcao(QObject *parent)
    : QObject(parent)
{
}

Interrupcao::~Interrupcao() = default;

void Interrupcao::sairAoInterromper(const char *mensagem, int codigo)
{
    mensagemDeSaida = mensagem;
    codigoDeSaida = codigo;
    instalarTratador(sairAgora);
}

bool Interrupcao::entregarNoLaco()
{
    if (pipe2(pipeSinal, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    instalarTratador(aoReceberSinal);
    notificador = new QSocketNotifier(pipeSinal[0], QSocketNotifier::Read, this);
    connect(notificador, &QSocketNotifier::activated, this, [this] { ler(true); });
    return true;
}

void Interrupcao::ler(bool avisar)
{
    char bytes[16];
    bool nova = false;
    while (pipeSinal[0] >= 0 && read(pipeSinal[0], bytes, sizeof bytes) > 0)
        nova = true;
    if (nova && !recebida) {
        recebida = true;
        if (avisar)
            emit interrompido();
    }
}

bool Interrupcao::houveAoFinal()
{
    ler(false);
    return recebida;
}
