/* Gives a test program a drive C: of its own: a fresh folder, named before the stand-in first looks
 * at $TAVLINQX_ROOT. Register once per program:
 *     ::testing::AddGlobalTestEnvironment(new FreshDrive("/tmp/tavlinqx-core-XXXXXX"));
 */
#ifndef TAVLINQX_TESTS_FRESH_DRIVE_H
#define TAVLINQX_TESTS_FRESH_DRIVE_H

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "standin.h"

class FreshDrive : public ::testing::Environment {
public:
    explicit FreshDrive(const char *folderTemplate) : template_(folderTemplate) {}
    void SetUp() override
    {
        ASSERT_NE(mkdtemp(&template_[0]), nullptr);
        setenv(STANDIN_ROOT_ENV, template_.c_str(), 1);
        ASSERT_NE(StandinRootFolder(), nullptr);
    }

private:
    std::string template_; /* mkdtemp's XXXXXX template, then the folder made from it */
};

#endif
