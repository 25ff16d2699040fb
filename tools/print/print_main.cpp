/* tavlinqx-print: the print program. Started by the hand-off with a job number, it prints that
 * job's spool metafile; started by hand with metafiles and -o, it draws them into a PNG or PDF. */
#include <errno.h>
#include <limits.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include "emf_player.h"
#include "job.h"
#include "standin.h"

extern char **environ;

enum {
    PRINT_OK = 0,
    PRINT_FAILED = 1, /* a job or metafile that cannot be printed, output that cannot be written */
    PRINT_USAGE = 2,
    PRINT_MAX_FILES = 256,
};

struct PrintOptions {
    const char *output;    /* -o */
    const char *outDir;    /* --out-dir */
    EmfRenderOptions render;
    const char *queue;     /* --lp=QUEUE; "" for the default queue; NULL: not submitted */
    bool remove;           /* --remove */
    bool quiet;            /* --quiet: no warnings */
    const char *files[PRINT_MAX_FILES];
    int fileCount;
};

static void print_usage(FILE *out)
{
    fprintf(out,
            "usage: tavlinqx-print JOB [options]\n"
            "       tavlinqx-print FILE.emf... -o OUT.pdf|OUT.png [options]\n"
            "\n"
            "With a job number (what the driver's hand-off passes), reads the job file\n"
            "QOR<job>.JBX in the temporary folder of drive C:, checks it, and draws the job's\n"
            "spool metafile into job<job>.png and job<job>.pdf beside the spool file.\n"
            "With metafiles, draws them into OUT: a PNG of the one page, or a PDF of one page\n"
            "per file, the format following the extension.\n"
            "\n"
            "options:\n"
            "  -o OUT        the output file (metafiles given by hand)\n"
            "  --out-dir DIR where a job's PNG and PDF go instead\n"
            "  --dpi N       pixels per inch (default: the resolution the metafile was recorded at)\n"
            "  --lp[=QUEUE]  send the PDF to a CUPS queue with lp (the default queue without one)\n"
            "  --remove      remove the job file and the spool metafile once the job is printed\n"
            "  --quiet       do not list the records that were not drawn\n"
            "  -h, --help    this text\n"
            "\n"
            "A job file that is not a sound 528-byte job, or a metafile the reader rejects, is\n"
            "reported with the reason and the exit status is 1; the files are kept. Exit status 2\n"
            "means a wrong command line.\n");
}

static int print_parse(int argc, char **argv, PrintOptions *o)
{
    memset(o, 0, sizeof *o);
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (strcmp(a, "-h") == 0 || strcmp(a, "--help") == 0) {
            print_usage(stdout);
            exit(PRINT_OK);
        } else if ((strcmp(a, "-o") == 0 || strcmp(a, "--out-dir") == 0 ||
                    strcmp(a, "--dpi") == 0) && i + 1 < argc) {
            const char *v = argv[++i];
            if (a[1] == 'o')
                o->output = v;
            else if (a[2] == 'o')
                o->outDir = v;
            else if ((o->render.dpi = strtod(v, NULL)) < 1 || o->render.dpi > 10000) {
                fprintf(stderr, "tavlinqx-print: --dpi %s is not 1 to 10000\n", v);
                return -1;
            }
        } else if (strcmp(a, "--lp") == 0 || strncmp(a, "--lp=", 5) == 0) {
            o->queue = a[4] ? a + 5 : "";
        } else if (strcmp(a, "--remove") == 0) {
            o->remove = true;
        } else if (strcmp(a, "--quiet") == 0) {
            o->quiet = true;
        } else if (a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
            fprintf(stderr, "tavlinqx-print: unknown option %s\n", a);
            return -1;
        } else if (o->fileCount < PRINT_MAX_FILES) {
            o->files[o->fileCount++] = a;
        } else {
            fprintf(stderr, "tavlinqx-print: more than %d metafiles\n", (int)PRINT_MAX_FILES);
            return -1;
        }
    }
    if (o->fileCount == 0) {
        print_usage(stderr);
        return -1;
    }
    return 0;
}

static bool print_has_suffix(const char *path, const char *suffix)
{
    size_t n = strlen(path), k = strlen(suffix);
    return n >= k && strcasecmp(path + n - k, suffix) == 0;
}

static void print_warnings(const char *what, const EmfWarnings *w, bool quiet)
{
    if (quiet)
        return;
    for (uint32_t i = 0; i < w->count; i++)
        fprintf(stderr, "tavlinqx-print: %s: warning: %s\n", what, w->text[i]);
    if (w->dropped)
        fprintf(stderr, "tavlinqx-print: %s: %u more warnings like these\n", what, w->dropped);
}

/* Draws the metafile at path; NULL after a message when it cannot be drawn. */
static cairo_surface_t *print_render(const char *path, const PrintOptions *o, EmfPage *page)
{
    EmfFile file;
    char error[256];
    if (EmfLoadFile(path, &file, error, sizeof error) < 0) {
        fprintf(stderr, "tavlinqx-print: %s: %s\n", path, error);
        return NULL;
    }
    EmfWarnings warnings;
    cairo_surface_t *surface = NULL;
    if (EmfGetPage(&file, page, error, sizeof error) == 0)
        surface = EmfRenderPage(&file, &o->render, &warnings, error, sizeof error);
    if (surface == NULL)
        fprintf(stderr, "tavlinqx-print: %s: %s\n", path, error);
    else
        print_warnings(path, &warnings, o->quiet);
    EmfFree(&file);
    return surface;
}

/* Sends the PDF to the queue (or the default one) with lp; says so when there is none. */
static int print_submit(const char *pdf, const char *queue)
{
    const char *argv[] = {"lp", "-d", queue, "--", pdf, NULL};
    const char *const *args = argv;
    const char *defaultArgs[] = {"lp", "--", pdf, NULL};
    if (queue[0] == '\0')
        args = defaultArgs;
    pid_t pid;
    int err = posix_spawnp(&pid, "lp", NULL, NULL, (char *const *)args, environ);
    if (err != 0) {
        printf("no CUPS queue: lp cannot be run (%s); %s was not sent\n", strerror(err), pdf);
        return 0;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        printf("sent to %s: %s\n", queue[0] ? queue : "the default CUPS queue", pdf);
        return 0;
    }
    printf("no CUPS queue took it: lp failed%s%s; %s was not sent\n",
           queue[0] ? " for " : "", queue, pdf);
    return 0;
}

/* Writes the pages to output (.png: exactly one page; .pdf: any number). */
/* Writes the pages to output through a temporary file beside it, renamed into place once whole:
 * a reader never sees half a picture, and a failed write leaves no file. */
static int print_write(cairo_surface_t *const *pages, const EmfPage *sizes, int count,
                       const char *output)
{
    char error[256], partial[PATH_MAX];
    if ((size_t)snprintf(partial, sizeof partial, "%s.part", output) >= sizeof partial) {
        fprintf(stderr, "tavlinqx-print: %s: the path is too long\n", output);
        return -1;
    }
    int rc;
    if (print_has_suffix(output, ".png")) {
        if (count != 1) {
            fprintf(stderr, "tavlinqx-print: %s: a PNG holds one page; %d were given\n", output, count);
            return -1;
        }
        rc = EmfWritePng(pages[0], partial, error, sizeof error);
    } else {
        rc = EmfWritePdf(pages, sizes, (size_t)count, partial, error, sizeof error);
    }
    if (rc == 0 && rename(partial, output) != 0) {
        snprintf(error, sizeof error, "%s", strerror(errno));
        rc = -1;
    }
    if (rc < 0) {
        fprintf(stderr, "tavlinqx-print: %s: %s\n", output, error);
        remove(partial);
    }
    return rc;
}

static int print_files(const PrintOptions *o)
{
    if (o->output == NULL || !(print_has_suffix(o->output, ".png") || print_has_suffix(o->output, ".pdf"))) {
        fprintf(stderr, "tavlinqx-print: give the output with -o OUT.png or -o OUT.pdf\n");
        return PRINT_USAGE;
    }
    if (print_has_suffix(o->output, ".png") && o->fileCount != 1) {
        fprintf(stderr, "tavlinqx-print: %s: a PNG holds one page; %d metafiles were given\n",
                o->output, o->fileCount);
        return PRINT_USAGE;
    }
    /* One page at a time would bound memory further; a PDF needs them all until it is written. */
    cairo_surface_t *pages[PRINT_MAX_FILES];
    EmfPage sizes[PRINT_MAX_FILES];
    int count = 0, status = PRINT_OK;
    for (int i = 0; i < o->fileCount && status == PRINT_OK; i++) {
        pages[count] = print_render(o->files[i], o, &sizes[count]);
        if (pages[count] == NULL)
            status = PRINT_FAILED;
        else
            count++;
    }
    if (status == PRINT_OK && print_write(pages, sizes, count, o->output) < 0)
        status = PRINT_FAILED;
    if (status == PRINT_OK) {
        printf("%d page%s written to %s\n", count, count == 1 ? "" : "s", o->output);
        if (o->queue && print_has_suffix(o->output, ".pdf"))
            print_submit(o->output, o->queue);
    }
    for (int i = 0; i < count; i++)
        cairo_surface_destroy(pages[i]);
    return status;
}

static int print_job(int32_t number, const PrintOptions *o)
{
    char dosPath[JOB_PATH_SIZE], jobPath[PATH_MAX], error[256];
    if (JobFilePath(number, dosPath, sizeof dosPath, jobPath, sizeof jobPath, error, sizeof error) < 0) {
        fprintf(stderr, "tavlinqx-print: job %d: %s\n", number, error);
        return PRINT_FAILED;
    }
    JobFile job;
    if (JobRead(jobPath, &job, error, sizeof error) < 0) {
        fprintf(stderr, "tavlinqx-print: job %d: the job file %s (%s) %s; it is kept for inspection\n",
                number, dosPath, jobPath, error);
        return PRINT_FAILED;
    }
    char spool[PATH_MAX];
    if (StandinMapPath(job.metafilePath, spool, sizeof spool) != 0) {
        fprintf(stderr, "tavlinqx-print: job %d: the spool metafile %s does not map to a host path\n",
                number, job.metafilePath);
        return PRINT_FAILED;
    }
    EmfPage size;
    cairo_surface_t *page = print_render(spool, o, &size);
    if (page == NULL)
        return PRINT_FAILED;
    /* The pictures go beside the spool file unless a folder is named. */
    char folder[PATH_MAX], png[PATH_MAX], pdf[PATH_MAX];
    snprintf(folder, sizeof folder, "%s", o->outDir ? o->outDir : spool);
    if (o->outDir == NULL) {
        char *slash = strrchr(folder, '/');
        if (slash)
            *slash = '\0';
        else
            snprintf(folder, sizeof folder, ".");
    }
    if ((size_t)snprintf(png, sizeof png, "%s/job%05d.png", folder, number) >= sizeof png ||
        (size_t)snprintf(pdf, sizeof pdf, "%s/job%05d.pdf", folder, number) >= sizeof pdf) {
        fprintf(stderr, "tavlinqx-print: job %d: the output folder's path is too long\n", number);
        cairo_surface_destroy(page);
        return PRINT_FAILED;
    }
    int status = PRINT_OK;
    if (print_write(&page, &size, 1, png) < 0 || print_write(&page, &size, 1, pdf) < 0)
        status = PRINT_FAILED;
    cairo_surface_destroy(page);
    if (status != PRINT_OK)
        return status;
    printf("job %d printed from %s\n  page: %s\n  pdf:  %s\n", number, job.metafilePath, png, pdf);
    if (o->queue)
        print_submit(pdf, o->queue);
    if (o->remove) {
        if (remove(jobPath) != 0 || remove(spool) != 0)
            fprintf(stderr, "tavlinqx-print: job %d: removing the job's files: %s\n", number,
                    strerror(errno));
        else
            printf("  removed %s and %s\n", dosPath, job.metafilePath);
    }
    return PRINT_OK;
}

int main(int argc, char **argv)
{
    PrintOptions o;
    if (print_parse(argc, argv, &o) < 0)
        return PRINT_USAGE;
    int32_t number;
    if (o.fileCount == 1 && o.output == NULL && JobParseNumber(o.files[0], &number) == 0)
        return print_job(number, &o);
    return print_files(&o);
}
