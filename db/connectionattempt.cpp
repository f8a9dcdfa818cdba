#include "db/connectionattempt.h"

#include "db/databaseconnection.h"

#include <QSocketNotifier>
#include <QTimer>

ConnectionAttempt::ConnectionAttempt(DatabaseConnection *connection, QObject *parent)
    : QObject(parent)
    , connection(connection)
    , limit(new QTimer(this))
{
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, this, [this] { finish(false); });
}

ConnectionAttempt::~ConnectionAttempt()
{
    if (running)
        connection->close();
}

void ConnectionAttempt::start()
{
    running = true;
    if (const int seconds = connectTimeoutSeconds())
        limit->start(seconds * 1000);
    if (!connection->startConnect()) {
        // Told from the event loop, as every other outcome.
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    }
    // libpq asks to be polled once the socket is writable (connected).
    watch(connection->socket(), true);
}

void ConnectionAttempt::advance()
{
    switch (connection->pollConnect()) {
    case DatabaseConnection::ConnectStep::Read:
        watch(connection->socket(), false);
        break;
    case DatabaseConnection::ConnectStep::Write:
        watch(connection->socket(), true);
        break;
    case DatabaseConnection::ConnectStep::Connected:
        finish(true);
        break;
    case DatabaseConnection::ConnectStep::Failed:
        finish(false);
        break;
    }
}

// A notifier for the socket libpq waits on now: it may open a new one
// between polls.
void ConnectionAttempt::watch(int socket, bool forWrite)
{
    stopWatching();
    if (socket < 0) {
        finish(false);
        return;
    }
    notifier = new QSocketNotifier(static_cast<qintptr>(socket),
                                   forWrite ? QSocketNotifier::Write : QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &ConnectionAttempt::advance);
}

void ConnectionAttempt::finish(bool connected)
{
    if (!running)
        return;
    running = false;
    limit->stop();
    stopWatching();
    if (!connected)
        connection->close();
    emit finished(connected);
}

// The notifier may be the very one whose signal is being delivered.
void ConnectionAttempt::stopWatching()
{
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
}
