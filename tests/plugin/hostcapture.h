#pragma once
// Stands in for the host in unit tests: binds capturing host functions directly into the table.

#include "plugin/TarnPluginInterface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class WithHost : public ::testing::Test {
  protected:
    void SetUp() override {
        logs().clear();
        boxes().clear();
        tarn::hxLogText = [](const char* text) { logs().push_back(text); };
        tarn::hxMessageBox = [](const char* text) { boxes().push_back(text); };
    }
    void TearDown() override {
        tarn::hxLogText = nullptr;
        tarn::hxMessageBox = nullptr;
        tarn::hxGetOpenFileName = nullptr;
    }
    static std::vector<std::string>& logs() {
        static std::vector<std::string> entries;
        return entries;
    }
    static std::vector<std::string>& boxes() {
        static std::vector<std::string> entries;
        return entries;
    }
};
