#pragma once

// Shared helpers of the test suite.
#include "support/BenchFixture.h"
#include "support/BenchSession.h"
