/* Global memory: movable and fixed blocks, lock counts, stale and junk handles, the live-block
 * counter, and concurrent use. Expected results follow Windows as observed under Wine. */
#include "kernel_test.h"

#include <string.h>

#include <thread>
#include <vector>

using GlobalMemory = KernelTest;

TEST_F(GlobalMemory, MovableBlockIsZeroedLockedAndFreed)
{
    long before = StandinLiveGlobalBlocks();
    HGLOBAL h = GlobalAlloc(GHND, 100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(StandinLiveGlobalBlocks(), before + 1);
    EXPECT_EQ(GlobalSize(h), 100u);

    unsigned char *p = (unsigned char *)GlobalLock(h);
    ASSERT_NE(p, nullptr);
    EXPECT_NE((void *)p, (void *)h) << "a movable block's handle is not its address";
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(p[i], 0) << i;
    memset(p, 0xAB, 100);
    EXPECT_EQ(GlobalLock(h), p);

    SetLastError(0xDEAD);
    EXPECT_TRUE(GlobalUnlock(h)) << "still locked once";
    EXPECT_EQ(GetLastError(), 0xDEADu) << "the error is left alone while the block stays locked";
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS) << "FALSE with 0: this call unlocked it";
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);

    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(StandinLiveGlobalBlocks(), before);
}

TEST_F(GlobalMemory, LockCountSaturatesAt255)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(h, nullptr);
    for (int i = 0; i < 300; i++)
        ASSERT_NE(GlobalLock(h), nullptr) << i;
    int stillLocked = 0;
    while (GlobalUnlock(h))
        stillLocked++;
    EXPECT_EQ(stillLocked, 254);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST_F(GlobalMemory, LockedBlockIsFreedToo)
{
    long before = StandinLiveGlobalBlocks();
    HGLOBAL h = GlobalAlloc(GHND, 8);
    ASSERT_NE(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(StandinLiveGlobalBlocks(), before);
}

TEST_F(GlobalMemory, FixedBlockHandleIsItsAddress)
{
    HGLOBAL h = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 16);
    ASSERT_NE(h, nullptr);
    memset(h, 1, 16); /* usable at once, as on Windows */
    EXPECT_EQ(GlobalLock(h), h);
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_TRUE(GlobalUnlock(h)) << "a fixed block has no lock count to run out";
    EXPECT_EQ(GlobalSize(h), 16u);
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(GlobalMemory, EmptyMovableBlockIsDiscarded)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISCARDED);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST_F(GlobalMemory, OversizedRequestFailsWithoutALiveBlock)
{
    long before = StandinLiveGlobalBlocks();
    EXPECT_EQ(GlobalAlloc(GHND, (SIZE_T)0x80000000u), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(StandinLiveGlobalBlocks(), before);
}

/* Every call on a handle that names no block fails the Windows way and never dereferences it. */
TEST_F(GlobalMemory, BadHandlesFailEveryCall)
{
    HGLOBAL stale = GlobalAlloc(GHND, 8);
    ASSERT_EQ(GlobalFree(stale), nullptr);
    HGLOBAL reuser = GlobalAlloc(GHND, 8); /* likely takes the freed slot again */
    ASSERT_NE(reuser, nullptr);
    HGLOBAL movable = GlobalAlloc(GHND, 8);
    void *data = GlobalLock(movable); /* a movable block's address is no handle */
    int local = 0;
    long before = StandinLiveGlobalBlocks();

    struct Row {
        const char *what;
        HGLOBAL h;
    } rows[] = {
        {"stale", stale},
        {"junk number", (HGLOBAL)(uintptr_t)0x12345},
        {"stack address", (HGLOBAL)&local},
        {"all ones but one", (HGLOBAL)(uintptr_t)0xFFFFFFFFFFFFFFFEull},
        {"data address of a movable block", (HGLOBAL)data},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        SetLastError(0);
        EXPECT_EQ(GlobalLock(r.h), nullptr);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_FALSE(GlobalUnlock(r.h));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(GlobalSize(r.h), 0u);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(GlobalFree(r.h), r.h);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(StandinLiveGlobalBlocks(), before);
    EXPECT_EQ(GlobalSize(reuser), 8u) << "the block in the reused slot is untouched";
    EXPECT_EQ(GlobalFree(reuser), nullptr);
    EXPECT_EQ(GlobalFree(movable), nullptr);
}

TEST_F(GlobalMemory, NullHandle)
{
    EXPECT_EQ(GlobalFree(NULL), nullptr);
    EXPECT_EQ(GlobalLock(NULL), nullptr);
    EXPECT_FALSE(GlobalUnlock(NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GlobalSize(NULL), 0u);
}

TEST_F(GlobalMemory, TraceNamesBlocksByStableNumbers)
{
    StandinTraceStart();
    HGLOBAL a = GlobalAlloc(GHND, 10);
    HGLOBAL b = GlobalAlloc(GHND, 20);
    GlobalLock(b);
    GlobalUnlock(b);
    GlobalFree(b);
    GlobalFree(a);
    HGLOBAL c = GlobalAlloc(GHND, 30);
    GlobalFree(c);
    StandinTraceStop();
    const char *expected[] = {
        "GlobalAlloc(0x42, 10)", "GlobalAlloc(0x42, 20)", "GlobalLock(mem#2)", "GlobalUnlock(mem#2)",
        "GlobalFree(mem#2)",     "GlobalFree(mem#1)",     "GlobalAlloc(0x42, 30)", "GlobalFree(mem#1)",
    };
    ASSERT_EQ(StandinTraceCount(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < StandinTraceCount(); i++)
        EXPECT_STREQ(StandinTraceEntry(i), expected[i]) << i;
}

TEST_F(GlobalMemory, ConcurrentThreadsKeepTheirBlocksApart)
{
    long before = StandinLiveGlobalBlocks();
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; i++) {
                HGLOBAL h = GlobalAlloc(GHND, 64);
                unsigned char *p = (unsigned char *)GlobalLock(h);
                if (!p) {
                    failures[t]++;
                    continue;
                }
                memset(p, t + 1, 64);
                GlobalUnlock(h);
                p = (unsigned char *)GlobalLock(h);
                for (int k = 0; k < 64; k++)
                    failures[t] += p[k] != t + 1;
                GlobalUnlock(h);
                failures[t] += GlobalFree(h) != NULL;
            }
        });
    }
    for (std::thread &th : threads)
        th.join();
    for (int t = 0; t < 4; t++)
        EXPECT_EQ(failures[t], 0) << "thread " << t;
    EXPECT_EQ(StandinLiveGlobalBlocks(), before);
}
