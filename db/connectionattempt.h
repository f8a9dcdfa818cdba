#pragma once

// Opens a DatabaseConnection without blocking the thread the attempt lives in
// (the GUI thread): libpq's non-blocking connection, advanced whenever a
// socket notifier says the socket is ready, within the time limit of
// connectTimeoutSeconds() kept by a timer.
//
//   ConnectionAttempt --borrows, while it lives--> DatabaseConnection

#include <QObject>

class DatabaseConnection;
class QSocketNotifier;
class QTimer;

class ConnectionAttempt : public QObject
{
    Q_OBJECT

public:
    ConnectionAttempt(DatabaseConnection *connection, QObject *parent = nullptr);
    // An attempt still under way is abandoned; the connection is left closed.
    ~ConnectionAttempt() override;

    // Begins the attempt; finished() follows once, from the event loop.
    void start();
    bool isRunning() const { return running; }

signals:
    void finished(bool connected);

private:
    void advance();
    void finish(bool connected);
    void watch(int socket, bool forWrite);
    void stopWatching();

    DatabaseConnection *connection;
    QSocketNotifier *notifier = nullptr;
    QTimer *limit;
    bool running = false;
};
