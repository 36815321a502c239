// Registers the temporary environment of the window-free shell suite.
#include "tests/shellcore/temp_env.h"

static ::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new ShellCoreEnvironment);
