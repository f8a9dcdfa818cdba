#pragma once

// Ctrl-C, termination and hang-up for relatorio-cli: the one place that knows
// how this platform delivers them (SIGINT, SIGTERM and SIGHUP through a
// self-pipe on POSIX systems; the console control handler on Windows).

#include <QObject>

class Interrupcao : public QObject
{
    Q_OBJECT

public:
    explicit Interrupcao(QObject *parent = nullptr);
    ~Interrupcao() override;

    // Until entregarNoLaco(): an interruption prints `mensagem` on standard
    // error and ends the process at once with `codigo`. For the time before
    // anything has been written.
    static void sairAoInterromper(const char *mensagem, int codigo);

    // From now on an interruption arrives as interrompido() on the event
    // loop. False when that cannot be set up.
    bool entregarNoLaco();

    // Whether an interruption has arrived on the event loop.
    bool houve() const { return recebida; }
    // The same, counting one that the event loop had no time to deliver.
    // For after the loop has ended.
    bool houveAoFinal();

signals:
    void interrompido();

private slots:
    // Takes pending interruptions; the first one is announced when `avisar`.
    void ler(bool avisar);

private:
    bool recebida = false;
};
