/* The print program's description as a 16-bit driver fills it for the tests that hand jobs over:
 * both required names, the auxiliary file AUX.INI, and the program file in a folder. */
#ifndef TAVLINQX_TESTS_PRINT_PROGRAM_H
#define TAVLINQX_TESTS_PRINT_PROGRAM_H

#include <stdio.h>
#include <string.h>

#include "tavlinqx.h"

/* folder ends with a backslash (a DOS path) or a slash (a host path); both names must fit. */
inline PrintProgram32 TestPrintProgram(const char *folder, const char *file)
{
    PrintProgram32 program;
    memset(&program, 0, sizeof program);
    program.Size = sizeof program;
    strcpy(program.RequiredName1, "NAME1");
    strcpy(program.AuxFile, "AUX.INI");
    strcpy(program.RequiredName2, "NAME2");
    snprintf(program.ProgramFile, sizeof program.ProgramFile, "%s", file);
    snprintf(program.ProgramDir, sizeof program.ProgramDir, "%s", folder);
    return program;
}

#endif
