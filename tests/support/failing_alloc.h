// Tests of memory exhaustion: every allocation of the library goes through one seam, which a
// test can make fail from the n-th call on and which counts the blocks live while a scenario
// runs.
#pragma once

namespace tvltest::alloc {

// Allocations fail from the n-th call after arm(n) until disarm().
void arm(long n);
void disarm();

// One scenario: sets up its inputs, runs the allocating operation between arm(n) and
// disarm(), checks the state a failure leaves, releases everything and returns whether the
// operation succeeded.
using Scenario = bool (*)(long n);

// Runs a scenario with n = 0, 1, 2, ... until it succeeds; every run must leave no block
// behind, and at least one run must fail (the operation does allocate). Reports through
// GoogleTest expectations.
void expect_failures_reported(const char *name, Scenario run);

}  // namespace tvltest::alloc
