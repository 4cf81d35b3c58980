#include "support/failing_alloc.h"

#include <gtest/gtest.h>

#include "base/alloc.h"

namespace tvltest::alloc {

void arm(long n) {
    tvl::mem::testing::fail_after(n);
}
void disarm() {
    tvl::mem::testing::disarm();
}

void expect_failures_reported(const char *name, Scenario run) {
    long failures = 0;
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 100) << name << " never succeeds";
        tvl::mem::testing::start_counting();
        const bool ok = run(n);
        disarm();
        EXPECT_EQ(tvl::mem::testing::stop_counting(), 0)
            << name << " leaks with allocation " << n << " failing";
        if (ok) break;
        ++failures;
    }
    EXPECT_GT(failures, 0) << name << " allocates nothing";
}

}  // namespace tvltest::alloc
