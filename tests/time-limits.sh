# Sourced by the test scripts. No test times the program: a limit on a wait for something that
# must happen (a window, a file, a reply, a process's end) only catches a hang, and is generous.
# QUORVEX_TEST_TIME_FACTOR (a whole number, 1 unless set) stretches every such limit on a machine
# slower still; the C++ drivers read it too (tests/time_limits.h), and the CTest limits take it
# when the tree is configured.
QUORVEX_TEST_TIME_FACTOR=${QUORVEX_TEST_TIME_FACTOR:-1}
[[ $QUORVEX_TEST_TIME_FACTOR =~ ^[1-9][0-9]*$ ]] || QUORVEX_TEST_TIME_FACTOR=1
export QUORVEX_TEST_TIME_FACTOR

# limit SECONDS: SECONDS stretched by the factor.
limit() { echo $(($1 * QUORVEX_TEST_TIME_FACTOR)); }
