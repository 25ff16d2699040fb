/* The fixture of the kernel stand-in tests: a fresh drive C: in a temporary folder per test, so no
 * test touches the user's real root, and host-side file helpers to check what the calls did. */
#ifndef TAVLINQX_KERNEL_TEST_H
#define TAVLINQX_KERNEL_TEST_H

#include <gtest/gtest.h>

#include <string>

#include "private.h"

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /* The host path of a DOS path; fails the test when it cannot be mapped. */
    std::string Host(const char *dosPath);

    std::string tempDir; /* holds the root and anything else a test needs */
    std::string root;    /* StandinRootFolder() for this test */

private:
    std::string savedCwd;
};

bool HostExists(const std::string &path);
bool HostIsDir(const std::string &path);
std::string ReadHostFile(const std::string &path);
void WriteHostFile(const std::string &path, const std::string &content, int mode = 0644);
/* Waits up to a few seconds for a file a child process writes; true when it appeared. */
bool WaitForHostFile(const std::string &path);

#endif
