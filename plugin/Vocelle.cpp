// The plug-in class and the seven functions the host looks up by name. Nothing thrown inside
// may cross into the host, so every entry point contains its own failures.

#include <vocelle/plugin/TarnPluginInterface.h>
#include <vocelle/plugin/joblist.h>
#include <vocelle/plugin/logtexts.h>
#include <vocelle/plugin/tarnlog.h>

#include <new>

#define VOCELLE_EXPORT extern "C" __attribute__((visibility("default")))

namespace vocelle {

namespace {

class Vocelle : public TarnPluginInterface {
public:
    Vocelle() {}
    ~Vocelle() override;
    bool execute() override;
    bool initPlugin() override;
};

Vocelle::~Vocelle() {
    try {
        logger << logtexts::displayName << logtexts::finished << std::flush;
    } catch (...) {
    }
}

bool Vocelle::initPlugin() {
    try {
        if (!InitHXAccess()) return false;
        int major = 0, minor = 0, sub = 0;
        tarn::hxGetVersionOfCorvane(&major, &minor, &sub);
        if (!checkVersionGreaterEqualVersion(major, minor, sub, 2, 8, 0)) {
            if (tarn::hxMessageBox != nullptr) tarn::hxMessageBox(logtexts::hostTooOld);
            return false;
        }
        if (tarn::hxShowLogTab != nullptr) tarn::hxShowLogTab();
        logger << "\n" << logtexts::displayName << logtexts::running << std::flush;
        return true;
    } catch (...) {
        return false;
    }
}

bool Vocelle::execute() {
    try {
        runJobList();
    } catch (...) {
        // Jobs contain their own failures; this only catches what happens between them.
    }
    return true;
}

} // namespace

} // namespace vocelle

using vocelle::TarnPluginInterface;
namespace logtexts = vocelle::logtexts;

VOCELLE_EXPORT TarnPluginInterface* createPlugin() { return new (std::nothrow) vocelle::Vocelle; }

VOCELLE_EXPORT const char* getPluginName() { return logtexts::displayName; }

VOCELLE_EXPORT const char* getPluginDescription() {
    return "Creates VOIs from a ROIs using a textfile with the names of all the necessary files";
}

VOCELLE_EXPORT const char* getAuthor() { return "<i>Tovel</i>"; }

VOCELLE_EXPORT const char* getHelpFile() { return "HelpFolder/index.html"; }

VOCELLE_EXPORT const char* getPluginVersion() { return VOCELLE_PLUGIN_VERSION; }

VOCELLE_EXPORT const char* getGUIScript() { return ""; }
