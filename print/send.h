/* Sending a printed document to a CUPS queue, on this machine or a print server, through libcups. */
#ifndef TAVLINQX_PRINT_SEND_H
#define TAVLINQX_PRINT_SEND_H

#include <stddef.h>

struct SendJob {
    const char *server;   /* "HOST[:PORT]" or a socket path; NULL: the one libcups names
                             ($CUPS_SERVER, client.conf, else this machine's) */
    const char *queue;    /* "": CUPS's default destination */
    const char *document; /* the PDF to send */
    const char *title;    /* the job's name */
};

struct SendResult {
    int jobId;        /* the CUPS job id */
    char queue[128];  /* the queue it went to */
    char error[512];  /* one line: why it was not sent */
};

/* Submits the document as one job of format application/pdf. Returns 0 with the job id and queue
 * in *result, or -1 with the reason in result->error: no server answers, no such queue, the queue
 * refuses jobs, the document cannot be read or the server stops taking it. A job created before
 * the failure is cancelled. */
int SendDocument(const SendJob *job, SendResult *result);

#endif
