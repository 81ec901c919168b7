// Every test program runs with the drivers of the tests' own, set up once before the first test.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

class OdbcDriversEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_drivers.emplace(); }
    void TearDown() override { m_drivers.reset(); }

private:
    std::optional<testing_support::TestOdbcDrivers> m_drivers;
};

const auto* const g_drivers = ::testing::AddGlobalTestEnvironment(new OdbcDriversEnvironment);

}  // namespace
