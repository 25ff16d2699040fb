/* The scenarios' metafile checks, on the project's EMF reader. */
#include "scenario_emf.h"

#include "emf_reader.h"

int ScenarioEmfLoad(const char *path, int32_t frame[4], char *error, size_t errorSize)
{
    EmfFile file;
    if (EmfLoadFile(path, &file, error, errorSize) != 0)
        return -1;
    emf::ENHMETAHEADER header;
    EmfGetHeader(&file, &header);
    frame[0] = header.rclFrame.left;
    frame[1] = header.rclFrame.top;
    frame[2] = header.rclFrame.right;
    frame[3] = header.rclFrame.bottom;
    EmfFree(&file);
    return 0;
}

long ScenarioEmfCount(const char *path, uint32_t type)
{
    EmfFile file;
    char error[256];
    if (EmfLoadFile(path, &file, error, sizeof error) != 0)
        return -1;
    long count = 0;
    for (uint32_t i = 0; i < file.count; i++)
        count += file.records[i].iType == type;
    EmfFree(&file);
    return count;
}
