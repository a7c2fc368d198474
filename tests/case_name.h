// Names parameterised cases after the `name` field of their parameter.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& c) const {
    return c.param.name;
  }
};
