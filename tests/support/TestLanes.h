#pragma once

#include <QObject>

// QtTest runs the rows of a test object one after the other in one process.
// Tests that mostly wait (for the command-line tool, a broker, a holder that
// connects its simulated board in real time) run their rows side by side
// instead: each row in a process of its own, a few at a time. Nothing changes
// in the tests themselves; a row only must not rely on what an earlier row
// left behind (each process builds the test object afresh).
//
// Each row's output is printed whole, in the rows' order, once it is done:
// a passing row as its PASS line (and whatever it logged), a failing one
// with everything QtTest said. A row whose process ran no such row (a data
// tag QtTest did not find) fails.
namespace TestLanes {

// Called from main() in place of QTest::qExec. With any argument (a
// function, a row, an option such as -functions) the test runs as QtTest
// runs it, in this process; so it does with TORVAN_TEST_LANES=1. Otherwise
// every row runs in a process of its own, TORVAN_TEST_LANES of them at a
// time (4 when unset). Returns 0 when every row passed or was skipped.
int exec(QObject *test, int argc, char **argv);

} // namespace TestLanes
