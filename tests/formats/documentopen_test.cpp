// A folder or a device named as a document gives the one opening error, without blocking.
#include <vocelle/formats/myFMR.h>
#include <vocelle/formats/myROI.h>
#include <vocelle/formats/mySDM.h>
#include <vocelle/formats/myTAL.h>
#include <vocelle/formats/myTRF.h>
#include <vocelle/formats/myVOI.h>
#include <vocelle/text/logsink.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace vocelle;

namespace {

std::vector<std::string> logged;

TEST(DocumentOpening, OnlyRegularFilesAreRead) {
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> readers = {
        {"ROI", [](const std::string& path) { ROI document(path); }},
        {"VOI", [](const std::string& path) { VOI document(path); }},
        {"TRF", [](const std::string& path) { TRF document(path); }},
        {"TAL", [](const std::string& path) { TAL document(path); }},
        {"FMR", [](const std::string& path) { FMR document(path, false); }}};
    for (const std::string path : {VOCELLE_TEST_DATA, "/dev/null"}) {
        for (const auto& [kind, read] : readers) {
            std::string error;
            try {
                read(path);
            } catch (const std::runtime_error& e) {
                error = e.what();
            }
            EXPECT_EQ(error, "Failed opening for reading: " + path) << kind;
        }
        logged.clear();
        setLogSink([](const std::string& message) { logged.push_back(message); });
        const SDM sdm(path);
        setLogSink(nullptr);
        EXPECT_EQ(logged, std::vector<std::string>{"!!!  Failed opening SDM for reading: " + path});
        EXPECT_EQ(sdm.FileVersion.value(), -1);
        EXPECT_FALSE(sdm.FileVersion.isSet());
    }
}

} // namespace
