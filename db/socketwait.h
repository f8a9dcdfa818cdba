#pragma once

// The one place that knows how this platform waits on a socket: poll(2) on
// POSIX systems, WSAPoll on Windows.

enum class SocketWait { Ready, TimedOut, Failed };

// Waits until `socket` (as PQsocket gives it) can be read, or written when
// `forWrite`, for at most `timeoutMs` milliseconds. A signal that interrupts
// the wait ends it early as TimedOut.
SocketWait waitForSocket(int socket, bool forRead, bool forWrite, int timeoutMs);
