/* A CUPS server of a test's own: Debian's cupsd in the foreground as a child process, listening on
 * 127.0.0.1 at a free port, with its configuration, spool, logs, state and cache in a folder of
 * the build tree. Its queues hand their jobs to a backend of the test's own, capture, which copies
 * each job's document to a file, so a test reads exactly what a printer would have been sent.
 *
 * A system cupsd, running or not, is neither used nor disturbed: no shared socket, port, file or
 * folder. The server runs a copy of the system's cupsd from its folder, because a confinement
 * profile written for /usr/sbin/cupsd (Debian ships an AppArmor one) would refuse it a
 * configuration and backends outside /etc/cups and /usr/lib/cups. */
#ifndef TAVLINQX_TESTS_CUPS_SERVER_H
#define TAVLINQX_TESTS_CUPS_SERVER_H

#include <sys/types.h>

#include <string>
#include <vector>

class CupsServer {
public:
    CupsServer() = default;
    CupsServer(const CupsServer &) = delete;
    CupsServer &operator=(const CupsServer &) = delete;
    /* Stops the server and removes its folder. */
    ~CupsServer();

    /* Lays out a folder under parent, starts cupsd and waits until it answers. False, with the
     * reason (and the server's own log) in *error, when it cannot be had. */
    bool Start(const std::string &parent, std::string *error);
    /* Stops cupsd (SIGTERM) and waits for it; the folder stays. */
    void Stop();

    /* Runs lpadmin against this server with args. */
    bool Lpadmin(const std::vector<std::string> &args, std::string *error);
    /* Adds a queue whose jobs go to Capture(name), with lpadmin's args after its -p (a raw queue
     * unless they name a driver; "-E" enables it and makes it accept jobs). */
    bool AddQueue(const std::string &name, const std::vector<std::string> &args, std::string *error);

    /* "127.0.0.1:PORT", as $CUPS_SERVER takes it. */
    std::string Address() const;
    /* Where the capture backend puts the document of the queue's last job. */
    std::string Capture(const std::string &queue) const;
    const std::string &Folder() const { return folder_; }

private:
    bool Configure(std::string *error);
    std::string Log() const;

    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
};

/* A loopback port nothing listens on now, or 0. */
int CupsFreePort(void);

#endif
