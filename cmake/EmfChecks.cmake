# "Every EMF a test produced passes uemf_check": the second, independent reading of our files.
#
# How it works
#   All producing tests write (or copy) the EMF files they made into one folder of the build tree,
#   TAVLINQX_EMF_OUTPUT_DIR, which they learn from the environment variable TAVLINQX_EMF_OUT.
#   A CTest fixture, "tavlinqx_emf_output", brackets them: its setup test empties the folder
#   before the first producer runs, and its cleanup test runs uemf_check over every *.emf left
#   there after the last producer has finished (CTest orders fixture cleanups after every test
#   that requires the fixture, also under -j, and pulls the setup and cleanup in when only some
#   producers are selected with -R). A file uemf_check rejects fails that cleanup test, which
#   names the file and the record.
#
# How a test folder opts in
#   include(${PROJECT_SOURCE_DIR}/cmake/EmfChecks.cmake)
#   tavlinqx_emf_checked_gtest(my_tests)         # instead of gtest_discover_tests(my_tests)
#   tavlinqx_emf_checked_tests(test_a test_b)    # for tests made with add_test
#   In the test, after making a file: EmfKeepForCheck(path, "Suite.Test-what") from
#   tests/emf/emf_keep.h copies it into the folder (it does nothing when TAVLINQX_EMF_OUT is
#   unset, so the test also runs outside CTest). Names must be unique across all tests.
#
# The setup and cleanup tests themselves are defined in tests/emf/CMakeLists.txt.

set(TAVLINQX_EMF_OUTPUT_DIR "${CMAKE_BINARY_DIR}/emf-output")
set(TAVLINQX_EMF_FIXTURE tavlinqx_emf_output)

# Marks the named tests as producers of EMF files for the uemf_check pass.
function(tavlinqx_emf_checked_tests)
    set_tests_properties(${ARGN} PROPERTIES
        FIXTURES_REQUIRED ${TAVLINQX_EMF_FIXTURE}
        ENVIRONMENT "TAVLINQX_EMF_OUT=${TAVLINQX_EMF_OUTPUT_DIR}")
endfunction()

# gtest_discover_tests for target, every discovered test marked as a producer.
function(tavlinqx_emf_checked_gtest target)
    gtest_discover_tests(${target}
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            FIXTURES_REQUIRED ${TAVLINQX_EMF_FIXTURE}
            ENVIRONMENT "TAVLINQX_EMF_OUT=${TAVLINQX_EMF_OUTPUT_DIR}")
endfunction()
