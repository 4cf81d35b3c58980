// A replacement of the C allocator for tests of memory exhaustion: linked into an executable,
// it can be told to fail every allocation from the n-th call on, and counts the blocks that
// are live while a scenario runs. It is left out of sanitizer builds, whose allocator must stay
// in place; there `kAllocHooks` is false and the tests skip.
#pragma once

namespace tvltest::alloc {

#if defined(__SANITIZE_ADDRESS__)
#define TVLTEST_ALLOC_HOOKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TVLTEST_ALLOC_HOOKS 0
#endif
#endif
#ifndef TVLTEST_ALLOC_HOOKS
#define TVLTEST_ALLOC_HOOKS 1
#endif

inline constexpr bool kAllocHooks = TVLTEST_ALLOC_HOOKS != 0;

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
