#pragma once
// Test entry points: a failure that escapes a guarded handler (a timer tick, a socket notice)
// fails the running test with its text, instead of reaching a message box or standard error
// unnoticed; so does a programming error (which a debug build would end on). A test that expects
// such a failure installs its own handler (SetFailureHandler); every test starts and ends with this
// one again, so no handler outlives the test that set it.
void FailTestsOnGuardedFailures();
