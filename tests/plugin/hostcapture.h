#pragma once
// Stands in for the host in unit tests: binds capturing host functions directly into the table.

#include "plugin/TarnPluginInterface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct HostCapture {
    static std::vector<std::string>& logs() {
        static std::vector<std::string> entries;
        return entries;
    }
    static std::vector<std::string>& boxes() {
        static std::vector<std::string> entries;
        return entries;
    }
    static void log(const char* text) { logs().push_back(text); }
    static void box(const char* text) { boxes().push_back(text); }
};

class WithHost : public ::testing::Test {
protected:
    void SetUp() override {
        HostCapture::logs().clear();
        HostCapture::boxes().clear();
        tarn::hxLogText = &HostCapture::log;
        tarn::hxMessageBox = &HostCapture::box;
    }
    void TearDown() override {
        tarn::hxLogText = nullptr;
        tarn::hxMessageBox = nullptr;
        tarn::hxGetOpenFileName = nullptr;
    }
    static std::vector<std::string>& logs() { return HostCapture::logs(); }
    static std::vector<std::string>& boxes() { return HostCapture::boxes(); }
};
