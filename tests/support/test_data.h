#pragma once

#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>

namespace quorrix::testing {

// True when the run must have the real test plans: on the build machines (the environment
// variable CI is set), where a missing folder must never pass as green.
inline bool testDataRequired() { return !qEnvironmentVariableIsEmpty("CI"); }

}  // namespace quorrix::testing

// Ends the test when `path`, a file or folder of the real test plans, is absent: a skip on a
// developer's machine, a failure on the build machines.
#define QUORRIX_NEED_TEST_DATA(path)                                                                     \
    do {                                                                                                 \
        const QString needed_ = (path);                                                                  \
        if (!QFileInfo::exists(needed_)) {                                                               \
            if (::quorrix::testing::testDataRequired()) FAIL() << "test data missing: " << needed_.toStdString(); \
            GTEST_SKIP() << "no test data at " << needed_.toStdString();                                 \
        }                                                                                                \
    } while (false)
