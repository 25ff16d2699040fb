/* A drive C: of its own for a gtest program, made before the first test. Register it once:
 *     ::testing::AddGlobalTestEnvironment(new FreshDrive("/tmp/tavlinqx-core-XXXXXX"));
 */
#ifndef TAVLINQX_TESTS_FRESH_DRIVE_ENVIRONMENT_H
#define TAVLINQX_TESTS_FRESH_DRIVE_ENVIRONMENT_H

#include <gtest/gtest.h>

#include <string>

#include "fresh_drive.h"

class FreshDrive : public ::testing::Environment {
public:
    explicit FreshDrive(const char *folderTemplate) : template_(folderTemplate) {}
    void SetUp() override { ASSERT_TRUE(UseFreshDrive(&template_[0])); }

private:
    std::string template_; /* mkdtemp's XXXXXX template, then the folder made from it */
};

#endif
