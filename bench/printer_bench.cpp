/* What opening a printer's reference device costs: CreateDCA and DeleteDC of a built-in printer
 * without CUPS, with no server answering, with a server that takes the connection but never
 * answers, and of a queue on a CUPS server of the benchmark's own (the tests' cupsd fixture, one
 * raw Letter queue at 300 dpi). DISPLAY, which is never looked up, is the floor. */
#include <benchmark/benchmark.h>

#include <cups/cups.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "cups_server.h"
#include "standin.h"
#include "winapi.h"

namespace {

CupsServer g_server;
std::string g_silentServer; /* takes connections into its backlog and never answers */

/* For the stand-in's lookups on this thread (libcups keeps a thread's server once used). */
void UseServer(const std::string &address)
{
    unsetenv(STANDIN_CUPS_ENV);
    setenv("CUPS_SERVER", address.c_str(), 1);
    cupsSetServer(address.c_str());
}

void OpenAndClose(benchmark::State &state, const char *device)
{
    for (auto _ : state) {
        HDC dc = CreateDCA("WINSPL16", device, NULL, NULL);
        if (dc == NULL) {
            state.SkipWithError("CreateDCA failed");
            return;
        }
        DeleteDC(dc);
    }
}

void BM_Display(benchmark::State &state) { OpenAndClose(state, "DISPLAY"); }

void BM_BuiltInCupsOff(benchmark::State &state)
{
    setenv(STANDIN_CUPS_ENV, "off", 1);
    OpenAndClose(state, "TAVLINQX Laser");
}

void BM_BuiltInNoServer(benchmark::State &state)
{
    UseServer("127.0.0.1:" + std::to_string(CupsFreePort()));
    OpenAndClose(state, "TAVLINQX Laser");
}

void BM_BuiltInSilentServer(benchmark::State &state)
{
    UseServer(g_silentServer);
    OpenAndClose(state, "TAVLINQX Laser");
}

void BM_CupsQueue(benchmark::State &state)
{
    UseServer(g_server.Address());
    OpenAndClose(state, "letter");
}

BENCHMARK(BM_Display)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuiltInCupsOff)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuiltInNoServer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CupsQueue)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuiltInSilentServer)->Unit(benchmark::kMillisecond)->Iterations(3);

/* A loopback port that accepts connections (the kernel's backlog does) and never answers. */
std::string ListenSilently(int *fd)
{
    *fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (*fd < 0 || bind(*fd, (struct sockaddr *)&at, sizeof at) != 0 || listen(*fd, 64) != 0 ||
        getsockname(*fd, (struct sockaddr *)&at, &size) != 0)
        return "";
    return "127.0.0.1:" + std::to_string(ntohs(at.sin_port));
}

} /* namespace */

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::string error;
    if (!g_server.Start(TAVLINQX_CUPS_SERVERS, &error) ||
        !g_server.AddQueue("letter", {"-E", "-o", "media-default=na_letter_8.5x11in", "-o",
                                      "printer-resolution-default=300dpi"}, &error)) {
        fprintf(stderr, "printer_bench: no CUPS server of its own: %s\n", error.c_str());
        return 1;
    }
    int silent;
    g_silentServer = ListenSilently(&silent);
    if (g_silentServer.empty()) {
        fprintf(stderr, "printer_bench: no loopback port to listen on\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    close(silent);
    return 0;
}
