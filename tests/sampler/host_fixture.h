// Every sampler test runs against the stand-in host's allocator, so that each
// array the Sampler takes is accounted for and can be refused on demand.
#ifndef TESSALINE_TESTS_SAMPLER_HOST_FIXTURE_H
#define TESSALINE_TESTS_SAMPLER_HOST_FIXTURE_H

#include <gtest/gtest.h>

#include "host/c4d_api.h"
#include "hostapp/services/services.h"

class HostMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tess::host::ResetServices();
    table = tess::host::MakeHostTable();
    SetHostTable(&table);
  }
  // Samplers of the test body are gone by now: any block still live leaked.
  void TearDown() override {
    EXPECT_EQ(Memory().LiveBlocks(), 0);
    EXPECT_EQ(Memory().ForeignFrees(), 0);
    SetHostTable(nullptr);
  }
  static tess::host::MemoryService& Memory() { return tess::host::Services().memory; }

  HostTable table{};
};

#endif
