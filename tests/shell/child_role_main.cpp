#include "tests/shell/child_role.h"

int main(int argc, char** argv) { return shell_testing::RunChildRoleOrTests(argc, argv); }
