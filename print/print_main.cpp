/* tavlinqx-print: the print program. Started by the hand-off with a job number, it prints that
 * job's spool metafile; started by hand with metafiles and -o, it draws them into a PNG or PDF. */
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "emf_player.h"
#include "job.h"
#include "send.h"
#include "standin.h"

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
    const char *queue;     /* --printer QUEUE or --lp[=QUEUE]; "" for the default queue; NULL: not given */
    const char *server;    /* --server HOST[:PORT]; NULL: the one libcups names */
    bool raster;           /* --raster: the PDF holds page pictures */
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
            "per file, the format following the extension. A PDF holds vectors and text on\n"
            "the recording device's pixel grid, with the exact pixels painted over what only\n"
            "they can show (raster operations that read the page).\n"
            "\n"
            "options:\n"
            "  -o OUT        the output file (metafiles given by hand)\n"
            "  --out-dir DIR where a job's PNG and PDF go instead\n"
            "  --dpi N       pixels per inch of a PNG or a --raster PDF (default: the resolution\n"
            "                the metafile was recorded at)\n"
            "  --raster      a PDF of page pictures instead of vectors and text\n"
            "  --printer QUEUE  send the PDF to this CUPS queue (for a job: instead of the aux\n"
            "                file's printer)\n"
            "  --lp[=QUEUE]  the same; without QUEUE, CUPS's default queue\n"
            "  --server HOST[:PORT]  the CUPS server to send to (default:\n"
            "                $CUPS_SERVER, else the one CUPS is set up for)\n"
            "  --remove      remove the job file and the spool metafile once the job is printed\n"
            "                (a metafile outside the spool folder is kept)\n"
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
        } else if ((strcmp(a, "--printer") == 0 || strcmp(a, "--server") == 0) && i + 1 < argc) {
            *(a[2] == 'p' ? &o->queue : &o->server) = argv[++i];
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
        } else if (strcmp(a, "--raster") == 0) {
            o->raster = true;
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

/* Sends the PDF to the queue ("": CUPS's default) as the job title and says where it went; -1
 * after a one-line message when it was not sent. */
static int print_send(const char *pdf, const char *queue, const char *title, const PrintOptions *o)
{
    SendJob job = {o->server, queue, pdf, title};
    SendResult result;
    if (SendDocument(&job, &result) < 0) {
        fprintf(stderr, "tavlinqx-print: %s was not sent: %s\n", pdf, result.error);
        return -1;
    }
    printf("  sent: %s, CUPS job %d\n", result.queue, result.jobId);
    return 0;
}

/* Output is written to a temporary file beside it and renamed into place once whole: a reader
 * never sees half a picture, and a failed write leaves no file. */
struct PrintOutput {
    const char *path;
    char partial[PATH_MAX];
    char error[256]; /* "" when the failure was reported already */
};

static int print_begin(const char *path, PrintOutput *out)
{
    out->path = path;
    out->error[0] = '\0';
    if ((size_t)snprintf(out->partial, sizeof out->partial, "%s.part", path) < sizeof out->partial)
        return 0;
    fprintf(stderr, "tavlinqx-print: %s: the path is too long\n", path);
    return -1;
}

/* Puts the output in place after rc 0; otherwise reports the failure and removes the rest. */
static int print_end(PrintOutput *out, int rc)
{
    if (rc == 0 && rename(out->partial, out->path) != 0) {
        snprintf(out->error, sizeof out->error, "%s", strerror(errno));
        rc = -1;
    }
    if (rc < 0) {
        if (out->error[0])
            fprintf(stderr, "tavlinqx-print: %s: %s\n", out->path, out->error);
        remove(out->partial);
    }
    return rc;
}

static int print_png(cairo_surface_t *page, const char *path)
{
    PrintOutput out;
    if (print_begin(path, &out) < 0)
        return -1;
    return print_end(&out, EmfWritePng(page, out.partial, out.error, sizeof out.error));
}

/* A PDF of one page picture per metafile. */
static int print_picture_pdf(const char *const *files, int count, cairo_surface_t *drawn,
                             const EmfPage *drawnSize, const PrintOptions *o, PrintOutput *out)
{
    EmfPicturePdf *pdf = EmfPicturePdfOpen(out->partial);
    bool drawnAll = true;
    for (int i = 0; i < count; i++) {
        EmfPage size = drawnSize ? *drawnSize : EmfPage{};
        cairo_surface_t *page = i == 0 && drawn ? drawn : print_render(files[i], o, &size);
        if (page == NULL) {
            drawnAll = false;
            break;
        }
        EmfPicturePdfAddPage(pdf, page, &size);
        if (page != drawn)
            cairo_surface_destroy(page);
    }
    int rc = EmfPicturePdfClose(pdf, out->error, sizeof out->error);
    if (!drawnAll) {
        out->error[0] = '\0';
        rc = -1;
    }
    return rc;
}

/* A PDF of vectors and text, a page per metafile; drawn, when not NULL, is the first one's page
 * picture already drawn (its warnings already told). */
static int print_vector_pdf(const char *const *files, int count, cairo_surface_t *drawn,
                            const PrintOptions *o, PrintOutput *out)
{
    EmfPdf *pdf = EmfPdfOpen(out->partial);
    bool drawnAll = true;
    for (int i = 0; i < count && drawnAll; i++) {
        EmfFile file;
        char error[256];
        if (EmfLoadFile(files[i], &file, error, sizeof error) < 0) {
            fprintf(stderr, "tavlinqx-print: %s: %s\n", files[i], error);
            drawnAll = false;
            break;
        }
        EmfWarnings warnings;
        cairo_surface_t *raster = i == 0 ? drawn : NULL;
        if (EmfPdfAddPage(pdf, &file, raster, &warnings, NULL) < 0)
            drawnAll = false;
        else if (raster == NULL)
            print_warnings(files[i], &warnings, o->quiet);
        EmfFree(&file);
    }
    int rc = EmfPdfClose(pdf, out->error, sizeof out->error);
    return drawnAll ? rc : -1;
}

/* A PDF of one page per metafile, drawn and written one at a time: memory holds one page however
 * many there are. drawn, when not NULL, is the first metafile's page picture already drawn. */
static int print_pdf(const char *const *files, int count, cairo_surface_t *drawn,
                     const EmfPage *drawnSize, const PrintOptions *o, const char *path)
{
    PrintOutput out;
    if (print_begin(path, &out) < 0)
        return -1;
    int rc = o->raster ? print_picture_pdf(files, count, drawn, drawnSize, o, &out)
                       : print_vector_pdf(files, count, drawn, o, &out);
    return print_end(&out, rc);
}

static int print_files(const PrintOptions *o)
{
    if (o->output == NULL || !(print_has_suffix(o->output, ".png") || print_has_suffix(o->output, ".pdf"))) {
        fprintf(stderr, "tavlinqx-print: give the output with -o OUT.png or -o OUT.pdf\n");
        return PRINT_USAGE;
    }
    bool png = print_has_suffix(o->output, ".png");
    if (png && o->queue) {
        fprintf(stderr, "tavlinqx-print: a PNG is not sent to a printer: give -o OUT.pdf\n");
        return PRINT_USAGE;
    }
    if (png && o->fileCount != 1) {
        fprintf(stderr, "tavlinqx-print: %s: a PNG holds one page; %d metafiles were given\n",
                o->output, o->fileCount);
        return PRINT_USAGE;
    }
    int rc;
    if (png) {
        EmfPage size;
        cairo_surface_t *page = print_render(o->files[0], o, &size);
        if (page == NULL)
            return PRINT_FAILED;
        rc = print_png(page, o->output);
        cairo_surface_destroy(page);
    } else {
        rc = print_pdf(o->files, o->fileCount, NULL, NULL, o, o->output);
    }
    if (rc < 0)
        return PRINT_FAILED;
    printf("%d page%s written to %s\n", o->fileCount, o->fileCount == 1 ? "" : "s", o->output);
    const char *slash = strrchr(o->output, '/');
    if (o->queue && !png && print_send(o->output, o->queue, slash ? slash + 1 : o->output, o) < 0)
        return PRINT_FAILED;
    return PRINT_OK;
}

/* The job's settings from the aux file its job file names; lines the program does not know are
 * reported and ignored. */
static void print_settings(int32_t number, const JobFile *job, JobSettings *settings)
{
    char aux[PATH_MAX], warning[160];
    bool mapped = job->auxPath[0] != '\0' && StandinMapPath(job->auxPath, aux, sizeof aux) == 0;
    int ignored = JobReadSettings(mapped ? aux : NULL, settings, warning, sizeof warning);
    if (ignored > 0)
        fprintf(stderr, "tavlinqx-print: job %d: %s: %s%s; ignored\n", number, job->auxPath, warning,
                ignored > 1 ? ", and more lines" : "");
}

/* Removes a printed job's files: its job file, and its spool metafile only where that lies in the
 * spool folder; a job file naming any other file has it printed, never removed. */
static void print_remove(int32_t number, const char *dosPath, const char *jobPath, const char *metafile,
                         const char *spool)
{
    if (remove(jobPath) != 0) {
        fprintf(stderr, "tavlinqx-print: job %d: removing %s: %s\n", number, dosPath, strerror(errno));
    } else if (!JobInSpoolFolder(spool)) {
        printf("  removed %s; kept %s, which is no file of the spool folder\n", dosPath, metafile);
    } else if (remove(spool) != 0) {
        fprintf(stderr, "tavlinqx-print: job %d: removing %s: %s\n", number, metafile, strerror(errno));
    } else {
        printf("  removed %s and %s\n", dosPath, metafile);
    }
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
    JobSettings settings;
    print_settings(number, &job, &settings);
    const char *queue = o->queue ? o->queue : settings.printer[0] ? settings.printer : NULL;
    bool pdfWanted = settings.pdf || queue; /* what is sent is the PDF */
    char spool[PATH_MAX];
    if (StandinMapPath(job.metafilePath, spool, sizeof spool) != 0) {
        fprintf(stderr, "tavlinqx-print: job %d: the spool metafile %s does not map to a host path\n",
                number, job.metafilePath);
        return PRINT_FAILED;
    }
    /* The page picture, for the PNG or a PDF of pictures. */
    EmfPage size;
    cairo_surface_t *page = NULL;
    if ((settings.png || (pdfWanted && o->raster)) && (page = print_render(spool, o, &size)) == NULL)
        return PRINT_FAILED;
    /* The outputs go beside the spool file unless a folder is named. */
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
        if (page)
            cairo_surface_destroy(page);
        return PRINT_FAILED;
    }
    int status = PRINT_OK;
    const char *files[] = {spool};
    bool pngPlaced = settings.png && print_png(page, png) == 0;
    if ((settings.png && !pngPlaced) || (pdfWanted && print_pdf(files, 1, page, &size, o, pdf) < 0)) {
        status = PRINT_FAILED;
        if (pngPlaced)
            remove(png); /* a job printed by halves leaves neither picture */
    }
    if (page)
        cairo_surface_destroy(page);
    if (status != PRINT_OK)
        return status;
    printf("job %d printed from %s\n", number, job.metafilePath);
    if (settings.png)
        printf("  page: %s\n", png);
    if (pdfWanted)
        printf("  pdf:  %s\n", pdf);
    char title[32];
    snprintf(title, sizeof title, "TAVLINQX job %d", number);
    if (queue && print_send(pdf, queue, title, o) < 0)
        return PRINT_FAILED; /* the job's files stay for another try */
    if (o->remove || settings.remove)
        print_remove(number, dosPath, jobPath, job.metafilePath, spool);
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
