#include "cli/interrupcao.h"

#include <QSocketNotifier>

#include <atomic>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace {

const char *mensagemDeSaida = "";
int codigoDeSaida = 1;

#ifdef _WIN32
// The console calls its handlers on a thread of its own: the handler only
// raises a flag and asks the event loop to read it.
std::atomic<bool> pendente{false};
std::atomic<Interrupcao *> destino{nullptr};

BOOL WINAPI sairAgora(DWORD)
{
    DWORD escrito = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), mensagemDeSaida,
              static_cast<DWORD>(std::strlen(mensagemDeSaida)), &escrito, nullptr);
    ExitProcess(static_cast<UINT>(codigoDeSaida));
}

BOOL WINAPI aoReceberControle(DWORD tipo)
{
    pendente.store(true);
    if (Interrupcao *interrupcao = destino.load())
        QMetaObject::invokeMethod(interrupcao, "ler", Qt::QueuedConnection, Q_ARG(bool, true));
    // A closing console ends the process once the handler returns: give the
    // job the time a stop takes to wind down and remove its file.
    if (tipo == CTRL_CLOSE_EVENT || tipo == CTRL_LOGOFF_EVENT || tipo == CTRL_SHUTDOWN_EVENT)
        Sleep(2000);
    return TRUE;
}

bool pegarPendente()
{
    return pendente.exchange(false);
}
#else
// The signal handler only writes one byte; the event loop reads it.
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

bool pegarPendente()
{
    char bytes[16];
    bool algum = false;
    while (pipeSinal[0] >= 0 && read(pipeSinal[0], bytes, sizeof bytes) > 0)
        algum = true;
    return algum;
}
#endif

} // namespace

Interrupcao::Interrupcao(QObject *parent)
    : QObject(parent)
{
}

Interrupcao::~Interrupcao()
{
#ifdef _WIN32
    destino.store(nullptr);
#endif
}

void Interrupcao::sairAoInterromper(const char *mensagem, int codigo)
{
    mensagemDeSaida = mensagem;
    codigoDeSaida = codigo;
#ifdef _WIN32
    SetConsoleCtrlHandler(sairAgora, TRUE);
#else
    instalarTratador(sairAgora);
#endif
}

bool Interrupcao::entregarNoLaco()
{
#ifdef _WIN32
    destino.store(this);
    SetConsoleCtrlHandler(sairAgora, FALSE);
    return SetConsoleCtrlHandler(aoReceberControle, TRUE) != 0;
#else
    if (pipe2(pipeSinal, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    instalarTratador(aoReceberSinal);
    auto *notificador = new QSocketNotifier(pipeSinal[0], QSocketNotifier::Read, this);
    connect(notificador, &QSocketNotifier::activated, this, [this] { ler(true); });
    return true;
#endif
}

void Interrupcao::ler(bool avisar)
{
    if (pegarPendente() && !recebida) {
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
