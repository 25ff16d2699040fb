/* Sending a document to a CUPS queue (send.h): Create-Job, then the document in one Send-Document,
 * on one connection. */
#include "send.h"

#include <cups/cups.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

namespace {

enum {
    SEND_CONNECT_MS = 10000,
    SEND_CHUNK = 64 * 1024,
};
/* How long an answer may take; a print server spooling a large document is slow, not gone. */
const double SEND_ANSWER_SECONDS = 60.0;

/* Where the server is, for messages: its socket path or HOST:PORT. */
void send_where(char *where, size_t size)
{
    const char *server = cupsServer();
    if (server[0] == '/')
        snprintf(where, size, "%s", server);
    else
        snprintf(where, size, "%s:%d", server, ippPort());
}

/* Why the server refused what was asked of queue, from libcups's last error. */
void send_refusal(const char *queue, const char *where, SendResult *result)
{
    switch (cupsLastError()) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        snprintf(result->error, sizeof result->error, "the CUPS server at %s has no queue %s", where, queue);
        break;
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        snprintf(result->error, sizeof result->error, "the queue %s on %s does not accept jobs (%s)", queue,
                 where, cupsLastErrorString());
        break;
    default:
        snprintf(result->error, sizeof result->error, "the CUPS server at %s did not take the job for %s: %s",
                 where, queue, cupsLastErrorString());
        break;
    }
}

/* Create-Job on the queue, named title; the job id, or 0 with libcups's last error set.
 * (cupsCreateJob reports an unknown queue as an internal error, not as client-error-not-found.) */
int send_create(http_t *http, const char *queue, const char *title)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", NULL, "localhost", ippPort(), "/printers/%s", queue);
    const char *resource = strchr(uri + strlen("ipp://"), '/'); /* the queue's path, encoded */
    ipp_t *request = ippNewRequest(IPP_OP_CREATE_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", NULL, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", NULL, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", NULL, title);
    ipp_t *response = cupsDoRequest(http, request, resource);
    ipp_attribute_t *id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
    int jobId = id && cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE ? ippGetInteger(id, 0) : 0;
    ippDelete(response);
    return jobId;
}

/* The document's bytes after a started Send-Document; false when one could not be read or sent. */
bool send_bytes(http_t *http, FILE *document)
{
    char chunk[SEND_CHUNK];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, document)) > 0)
        if (cupsWriteRequestData(http, chunk, n) != HTTP_STATUS_CONTINUE)
            return false;
    return ferror(document) == 0;
}

/* Creates the job on the queue and sends the document; the job id, or 0 with the reason. */
int send_job(http_t *http, const char *queue, const SendJob *job, FILE *document, const char *where,
             SendResult *result)
{
    int id = send_create(http, queue, job->title);
    if (id == 0) {
        send_refusal(queue, where, result);
        return 0;
    }
    bool sent = cupsStartDocument(http, queue, id, job->title, CUPS_FORMAT_PDF, 1) == HTTP_STATUS_CONTINUE &&
                send_bytes(http, document);
    bool read = ferror(document) == 0;
    if (cupsFinishDocument(http, queue) == IPP_STATUS_OK && sent)
        return id;
    if (!read)
        snprintf(result->error, sizeof result->error, "%s could not be read: %s", job->document, strerror(errno));
    else
        send_refusal(queue, where, result);
    cupsCancelJob2(http, queue, id, 0);
    return 0;
}

} /* namespace */

int SendDocument(const SendJob *job, SendResult *result)
{
    memset(result, 0, sizeof *result);
    if (job->server)
        cupsSetServer(job->server);
    char where[300];
    send_where(where, sizeof where);
    FILE *document = fopen(job->document, "rb");
    if (document == NULL) {
        snprintf(result->error, sizeof result->error, "%s cannot be opened: %s", job->document, strerror(errno));
        return -1;
    }
    http_t *http = httpConnect2(cupsServer(), ippPort(), NULL, AF_UNSPEC, cupsEncryption(), 1, SEND_CONNECT_MS, NULL);
    if (http == NULL) {
        snprintf(result->error, sizeof result->error, "no CUPS server answers at %s", where);
        fclose(document);
        return -1;
    }
    httpSetTimeout(http, SEND_ANSWER_SECONDS, NULL, NULL);
    const char *queue = job->queue[0] ? job->queue : cupsGetDefault2(http);
    if (queue == NULL && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
        snprintf(result->error, sizeof result->error, "the CUPS server at %s did not name its default queue: %s",
                 where, cupsLastErrorString());
    else if (queue == NULL)
        snprintf(result->error, sizeof result->error, "the CUPS server at %s names no default queue", where);
    else if (strlen(queue) >= sizeof result->queue)
        snprintf(result->error, sizeof result->error, "the queue name %.40s... is too long", queue);
    else
        snprintf(result->queue, sizeof result->queue, "%s", queue);
    if (result->queue[0])
        result->jobId = send_job(http, result->queue, job, document, where, result);
    httpClose(http);
    fclose(document);
    return result->jobId > 0 ? 0 : -1;
}
