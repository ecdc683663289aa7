#pragma once
// Stands in for the host in unit tests: binds a capturing log function directly into the table.

#include <vocelle/plugin/TarnPluginInterface.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vocelle {

class WithHost : public ::testing::Test {
  protected:
    void SetUp() override {
        logs().clear();
        tarn::hxLogText = [](const char* text) { logs().push_back(text); };
    }
    void TearDown() override { tarn::hxLogText = nullptr; }
    static std::vector<std::string>& logs() {
        static std::vector<std::string> entries;
        return entries;
    }
};

} // namespace vocelle
