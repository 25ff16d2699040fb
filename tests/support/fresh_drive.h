/* Gives a test program a drive C: of its own: a fresh folder, named before the stand-in first looks
 * at $TAVLINQX_ROOT, and removed with all it holds when the program exits. A gtest program
 * registers the FreshDrive environment of fresh_drive_environment.h; any other program calls
 * UseFreshDrive with a template of its own.
 */
#ifndef TAVLINQX_TESTS_FRESH_DRIVE_H
#define TAVLINQX_TESTS_FRESH_DRIVE_H

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "standin.h"

/* Makes a folder from folderTemplate (mkdtemp's XXXXXX, rewritten in place) the stand-in's drive C:
 * for this process and the programs it starts, until it exits. One drive a process. */
inline bool UseFreshDrive(char *folderTemplate)
{
    static std::string made;
    if (!made.empty() || mkdtemp(folderTemplate) == NULL)
        return false;
    made = folderTemplate;
    atexit([] {
        std::error_code ignored; /* a drive half removed is no reason to fail the program */
        std::filesystem::remove_all(made, ignored);
    });
    setenv(STANDIN_ROOT_ENV, folderTemplate, 1);
    return StandinRootFolder() != NULL;
}

#endif
